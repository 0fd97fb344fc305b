// Verifies RFC 3161 timestamps with OpenSSL's own calls, for the release:
//   timestamp_check reply QUERY REPLY CA_FILE
//       the server's reply to our query: granted, signed by an authority that
//       chains to CA_FILE, over the query's digest and with its nonce
//   timestamp_check signed DLL CA_FILE
//       the timestamp in a signed DLL's Authenticode signature (the signer's
//       unsigned attribute 1.3.6.1.4.1.311.3.3.1): signed by an authority
//       that chains to CA_FILE, over the signature value it stamps
// The signature is read from the DLL's own certificate table, so no signing
// tool's output format is involved. Exit 0 when it verifies; 1 with OpenSSL's
// reason on one line when it does not; 2 when the input cannot be read.
#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>
#include <openssl/ts.h>
#include <openssl/x509.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

struct Free {
    void operator()(PKCS7* p) const { PKCS7_free(p); }
    void operator()(TS_REQ* p) const { TS_REQ_free(p); }
    void operator()(TS_RESP* p) const { TS_RESP_free(p); }
    void operator()(TS_VERIFY_CTX* p) const { TS_VERIFY_CTX_free(p); }
    void operator()(ASN1_OBJECT* p) const { ASN1_OBJECT_free(p); }
};
template <typename T> using Owned = std::unique_ptr<T, Free>;

bool read_file(const char* path, Bytes& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

int unreadable(const std::string& what) {
    std::printf("%s\n", what.c_str());
    return 2;
}

// OpenSSL's reason for the failure: the first error's, with the certificate
// check's own words where it gives them ("Verify error:...").
int refused() {
    const char* data = nullptr;
    int flags = 0;
    unsigned long code = ERR_get_error_all(nullptr, nullptr, nullptr, &data, &flags);
    std::string reason = code ? ERR_reason_error_string(code) ? ERR_reason_error_string(code) : "unknown error"
                              : "OpenSSL does not verify it";
    std::string said = (data && (flags & ERR_TXT_STRING)) ? data : "";
    if (said.rfind("Verify error:", 0) == 0) reason += ": " + said.substr(13);
    std::printf("%s\n", reason.c_str());
    return 1;
}

// A verification context that checks the authority's signature and chain
// against the CAs in the file.
bool trust(TS_VERIFY_CTX* ctx, const char* cas) {
    X509_STORE* store = X509_STORE_new();
    if (!store || X509_STORE_load_file(store, cas) != 1) {
        X509_STORE_free(store);
        return false;
    }
    TS_VERIFY_CTX_set_store(ctx, store);  // the context owns it now
    return true;
}

int check_reply(const char* query_path, const char* reply_path, const char* cas) {
    Bytes query, reply;
    if (!read_file(query_path, query)) return unreadable(std::string("cannot read ") + query_path);
    if (!read_file(reply_path, reply)) return unreadable(std::string("cannot read ") + reply_path);
    const unsigned char* q = query.data();
    Owned<TS_REQ> request(d2i_TS_REQ(nullptr, &q, static_cast<long>(query.size())));
    if (!request) return unreadable("the query is not an RFC 3161 request");
    const unsigned char* r = reply.data();
    Owned<TS_RESP> response(d2i_TS_RESP(nullptr, &r, static_cast<long>(reply.size())));
    if (!response) return unreadable("the answer is not an RFC 3161 timestamp reply");
    Owned<TS_VERIFY_CTX> ctx(TS_REQ_to_TS_VERIFY_CTX(request.get(), nullptr));
    if (!ctx) return refused();
    // What the query asks for (version, imprint, and its nonce and policy
    // where it has them), and the signature; the authority's name is not
    // ours to hold it to.
    TS_VERIFY_CTX_add_flags(ctx.get(), TS_VFY_SIGNATURE);
    if (!trust(ctx.get(), cas)) return unreadable(std::string("cannot read the CA certificates ") + cas);
    ERR_clear_error();  // the reason printed is this check's
    return TS_RESP_verify_response(ctx.get(), response.get()) == 1 ? 0 : refused();
}

std::uint32_t le(const Bytes& b, std::size_t at, int n) {
    std::uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = (v << 8) | b[at + static_cast<std::size_t>(i)];
    return v;
}

// The PKCS#7 signature in a PE file's certificate table (data directory 4,
// whose address is a file offset), past its WIN_CERTIFICATE header.
bool pe_signature(const Bytes& pe, Bytes& out, std::string& why) {
    if (pe.size() < 0x40 || pe[0] != 'M' || pe[1] != 'Z') return why = "it is not a PE file", false;
    std::size_t header = le(pe, 0x3c, 4);
    if (header + 24 + 2 > pe.size() || le(pe, header, 4) != 0x4550) return why = "it is not a PE file", false;
    std::size_t optional = header + 24;
    if (optional + 2 > pe.size()) return why = "its headers are cut short", false;
    const std::uint32_t magic = le(pe, optional, 2);
    if (magic != 0x10b && magic != 0x20b) return why = "its optional header is neither PE32 nor PE32+", false;
    const std::size_t directories = optional + (magic == 0x20b ? 112 : 96), entry = directories + 4 * 8;
    if (entry + 8 > pe.size()) return why = "its headers are cut short", false;
    if (le(pe, directories - 4, 4) < 5) return why = "it has no certificate table", false;  // NumberOfRvaAndSizes
    std::size_t at = le(pe, entry, 4), size = le(pe, entry + 4, 4);
    if (at == 0 || size == 0) return why = "it is not signed", false;
    if (at + size > pe.size() || size < 8) return why = "its certificate table lies outside the file", false;
    std::size_t length = le(pe, at, 4);
    if (length < 8 || length > size || le(pe, at + 6, 2) != 2) return why = "its certificate is not a PKCS#7 signature", false;
    out.assign(pe.begin() + static_cast<long>(at + 8), pe.begin() + static_cast<long>(at + length));
    return true;
}

int check_signed(const char* dll_path, const char* cas) {
    Bytes pe, signature;
    std::string why;
    if (!read_file(dll_path, pe)) return unreadable(std::string("cannot read ") + dll_path);
    if (!pe_signature(pe, signature, why)) return unreadable(why);
    const unsigned char* s = signature.data();
    Owned<PKCS7> p7(d2i_PKCS7(nullptr, &s, static_cast<long>(signature.size())));
    if (!p7 || !PKCS7_type_is_signed(p7.get())) return unreadable("its signature cannot be read");
    STACK_OF(PKCS7_SIGNER_INFO)* signers = PKCS7_get_signer_info(p7.get());
    if (!signers || sk_PKCS7_SIGNER_INFO_num(signers) != 1) return unreadable("its signature has not one signer");
    PKCS7_SIGNER_INFO* signer = sk_PKCS7_SIGNER_INFO_value(signers, 0);
    Owned<ASN1_OBJECT> rfc3161(OBJ_txt2obj("1.3.6.1.4.1.311.3.3.1", 1));
    ASN1_TYPE* stamp = nullptr;
    for (int i = 0; i < sk_X509_ATTRIBUTE_num(signer->unauth_attr); ++i) {
        X509_ATTRIBUTE* attribute = sk_X509_ATTRIBUTE_value(signer->unauth_attr, i);
        if (OBJ_cmp(X509_ATTRIBUTE_get0_object(attribute), rfc3161.get()) == 0)
            stamp = X509_ATTRIBUTE_get0_type(attribute, 0);
    }
    if (!stamp || stamp->type != V_ASN1_SEQUENCE) {
        std::printf("it carries no RFC 3161 timestamp\n");
        return 1;
    }
    const unsigned char* t = stamp->value.sequence->data;
    Owned<PKCS7> token(d2i_PKCS7(nullptr, &t, stamp->value.sequence->length));
    if (!token) return unreadable("its timestamp cannot be read");
    Owned<TS_VERIFY_CTX> ctx(TS_VERIFY_CTX_new());
    if (!ctx) return refused();
    // The token stamps the signature value: its imprint is that value's digest.
    BIO* data = BIO_new_mem_buf(signer->enc_digest->data, signer->enc_digest->length);
    if (!data) return refused();
    TS_VERIFY_CTX_set_data(ctx.get(), data);  // the context owns it now
    TS_VERIFY_CTX_set_flags(ctx.get(), TS_VFY_VERSION | TS_VFY_SIGNATURE | TS_VFY_DATA);
    if (!trust(ctx.get(), cas)) return unreadable(std::string("cannot read the CA certificates ") + cas);
    ERR_clear_error();
    return TS_RESP_verify_token(ctx.get(), token.get()) == 1 ? 0 : refused();
}

}  // namespace

int main(int argc, char** argv) {
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "reply" && argc == 5) return check_reply(argv[2], argv[3], argv[4]);
    if (mode == "signed" && argc == 4) return check_signed(argv[2], argv[3]);
    std::fprintf(stderr, "usage: timestamp_check reply QUERY REPLY CA_FILE | timestamp_check signed DLL CA_FILE\n");
    return 2;
}
