cmake_policy(VERSION 3.25)
# Derives the module-definition file and the C++ lists of exported names from
# exports/catalogue.txt, the one ordered list of exported catalogue names.
#
#   cmake -DNAMES=<list> -DARCH=x86|x64|native -DOUT_DIR=<dir> -P module_def.cmake
#
# Ordinals: GetTrCharset is 1; the catalogue entries follow upward in the
# reverse of catalogue order (the last entry 2, the first entry highest); above
# them GetTrVersion, GetTrDate, GetTrTranslation, GetTrCode, GetTrLanguage and
# last GetCompatibility. The rule holds for whatever the list holds.

file(STRINGS "${NAMES}" lines ENCODING UTF-8)
set(names "")
set(lineno 0)
foreach(line IN LISTS lines)
  math(EXPR lineno "${lineno} + 1")
  string(STRIP "${line}" line)
  if(line STREQUAL "" OR line MATCHES "^#")
    continue()
  endif()
  if(NOT line MATCHES "^[A-Za-z][A-Za-z0-9_]*$")
    message(FATAL_ERROR "${NAMES}:${lineno}: not an export name: '${line}'")
  endif()
  if(line IN_LIST names)
    message(FATAL_ERROR "${NAMES}:${lineno}: ${line} is listed twice")
  endif()
  list(APPEND names "${line}")
endforeach()
list(LENGTH names count)

set(identity_top GetTrVersion GetTrDate GetTrTranslation GetTrCode GetTrLanguage GetCompatibility)
foreach(name GetTrCharset ${identity_top})
  if(name IN_LIST names)
    message(FATAL_ERROR "${NAMES}: ${name} is an identity export, not a catalogue entry")
  endif()
endforeach()

# Ordered by ordinal: GetTrCharset, the catalogue from its last entry up, the identity on top.
set(by_ordinal GetTrCharset)
if(count GREATER 0)
  set(reversed ${names})
  list(REVERSE reversed)
  list(APPEND by_ordinal ${reversed})
endif()
list(APPEND by_ordinal ${identity_top})

if(NOT ARCH STREQUAL "native")
  set(def "; Generated from exports/catalogue.txt by cmake/module_def.cmake. Do not edit.\n")
  string(APPEND def "LIBRARY \"DLLTranslation_HE.dll\"\nEXPORTS\n")
  set(ordinal 0)
  foreach(name IN LISTS by_ordinal)
    math(EXPR ordinal "${ordinal} + 1")
    if(ARCH STREQUAL "x86")
      # 32-bit stdcall symbols carry their argument size; the export name does not.
      string(APPEND def "  ${name} = ${name}@8 @${ordinal}\n")
    else()
      string(APPEND def "  ${name} @${ordinal}\n")
    endif()
  endforeach()
  file(WRITE "${OUT_DIR}/DLLTranslation_HE.def.new" "${def}")
  file(COPY_FILE "${OUT_DIR}/DLLTranslation_HE.def.new" "${OUT_DIR}/DLLTranslation_HE.def" ONLY_IF_DIFFERENT)
endif()

set(h "// Generated from exports/catalogue.txt by cmake/module_def.cmake. Do not edit.\n")
string(APPEND h "#pragma once\n\n#include <string_view>\n\nnamespace he {\n\n")
string(APPEND h "// The exported catalogue names in catalogue order.\n")
string(APPEND h "inline constexpr std::string_view kCatalogueOrder[${count}] = {\n")
foreach(name IN LISTS names)
  string(APPEND h "    \"${name}\",\n")
endforeach()
list(LENGTH by_ordinal exported)
string(APPEND h "};\n\n// Every exported name by ordinal: element i has ordinal i + 1.\n")
string(APPEND h "inline constexpr std::string_view kExportsByOrdinal[${exported}] = {\n")
foreach(name IN LISTS by_ordinal)
  string(APPEND h "    \"${name}\",\n")
endforeach()
string(APPEND h "};\n\n}  // namespace he\n")
file(WRITE "${OUT_DIR}/catalogue_order.h.new" "${h}")
file(COPY_FILE "${OUT_DIR}/catalogue_order.h.new" "${OUT_DIR}/catalogue_order.h" ONLY_IF_DIFFERENT)
