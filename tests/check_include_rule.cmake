# Fails when a source file includes a layer its own layer may not depend on.
#   src/veltrane/**  may include Qt, platform/ and veltrane/ only (never host/ or app/)
#   src/host/**      may include Qt, platform/, veltrane/contracts/ and host/ (never the pages or app/)
#   src/platform/**  may include Qt and platform/ only
set(violations "")
function(check_layer glob forbidden_regex rule)
  file(GLOB_RECURSE files ${SOURCE_DIR}/${glob}/*.h ${SOURCE_DIR}/${glob}/*.cpp)
  foreach(f IN LISTS files)
    file(STRINGS ${f} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line IN LISTS lines)
      if(line MATCHES "${forbidden_regex}")
        file(RELATIVE_PATH rel ${SOURCE_DIR} ${f})
        list(APPEND violations "${rel}: ${line}  (${rule})")
      endif()
    endforeach()
  endforeach()
  set(violations "${violations}" PARENT_SCOPE)
endfunction()

check_layer(veltrane "[<\"](host|app)/" "the library must not include host or app")
check_layer(host "[<\"](app/|veltrane/(service|select_page|analysis_page|save_as_page|snp_selector)/)"
  "host layers may use contracts and platform only")
check_layer(platform "[<\"](host|app|veltrane)/" "platform depends on Qt only")

if(violations)
  list(JOIN violations "\n" text)
  message(FATAL_ERROR "Include rule broken:\n${text}")
endif()
message(STATUS "include rule holds")
