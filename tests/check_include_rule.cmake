# Fails when a source file includes a layer its own layer may not depend on.
#   src/veltrane/**  may include Qt, platform/ and veltrane/ only (never host/ or app/)
#   src/host/**      may include Qt, platform/, veltrane/contracts/ and host/ (never the pages or app/)
#   src/host/registry/** may include Qt, veltrane/contracts/ and host/registry/ only
#   src/platform/**  may include Qt and platform/ only
#   the core contracts, the store (src/host/objects/**) and the comparison (src/host/compare/**)
#   include no widgets: no Qt Widgets or Gui header, no user-interface contract, no control
#   (platform/runtime_errors.h holds only numbers)
set(violations "")
function(check_files files forbidden_regex rule)
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

function(check_layer glob forbidden_regex rule)
  file(GLOB_RECURSE files ${SOURCE_DIR}/${glob}/*.h ${SOURCE_DIR}/${glob}/*.cpp)
  check_files("${files}" "${forbidden_regex}" "${rule}")
  set(violations "${violations}" PARENT_SCOPE)
endfunction()

check_layer(veltrane "[<\"](host|app)/" "the library must not include host or app")
check_layer(host "[<\"](app/|veltrane/(service|select_page|analysis_page|save_as_page|snp_selector)/)"
  "host layers may use contracts and platform only")
check_layer(host/registry
  "[<\"](app|platform)/|[<\"]veltrane/(common|service|select_page|analysis_page|save_as_page|snp_selector)/|[<\"]host/(framework|objects|grid_utilities|str_selector|snp_tag_editor)/"
  "the component host may use contracts only")
check_layer(platform "[<\"](host|app|veltrane)/" "platform depends on Qt only")

set(widgets_regex "[<\"](Qt(Widgets|Gui)/|Q(Widget|Application|GuiApplication|ComboBox|LineEdit|Label|Layout|[A-Z][A-Za-z]*Layout|Dialog|MessageBox|Palette|Color|Font|Pixmap|Image|Icon)>)|[<\"]veltrane/contracts/(page_framework|error_trap|host_services|grid_utilities)\\.h|[<\"]platform/(forms|grid)/")
file(GLOB core_contracts
  ${SOURCE_DIR}/veltrane/contracts/error.*
  ${SOURCE_DIR}/veltrane/contracts/error_numbers.h
  ${SOURCE_DIR}/veltrane/contracts/vocabulary.h
  ${SOURCE_DIR}/veltrane/contracts/display_formats.*
  ${SOURCE_DIR}/veltrane/contracts/editor_texts.h
  ${SOURCE_DIR}/veltrane/contracts/keyed_collection.*
  ${SOURCE_DIR}/veltrane/contracts/business_objects.*
  ${SOURCE_DIR}/veltrane/contracts/object_services.*
  ${SOURCE_DIR}/veltrane/contracts/automation.*
  ${SOURCE_DIR}/platform/runtime_errors.h)
check_files("${core_contracts}" "${widgets_regex}" "the core contracts need no widgets")
file(GLOB_RECURSE store_files ${SOURCE_DIR}/host/objects/*.h ${SOURCE_DIR}/host/objects/*.cpp
  ${SOURCE_DIR}/host/compare/*.h ${SOURCE_DIR}/host/compare/*.cpp)
check_files("${store_files}" "${widgets_regex}" "the store and the comparison need no widgets")

if(violations)
  list(JOIN violations "\n" text)
  message(FATAL_ERROR "Include rule broken:\n${text}")
endif()
message(STATUS "include rule holds")
