# Writes the bash completion of veltrane from what the program says of itself in --help, so that it
# follows every command and option the program gains:
#   cmake -DPROGRAM=<veltrane> -DTEMPLATE=<veltrane.bash.in> -DOUTPUT=<file> -P completion.cmake
#
# What it reads of the help:
#   option lines    "  -o, --output <file>   export: write to this file."  (a value in <>; a
#                   description starting "command:" or "command, command:" belongs to those
#                   commands, any other is global)
#   command lines   "  show NAME   ..." under "Commands:"; the words in capitals are the command's
#                   arguments (NAME: a parameter set, FLOW: a flow, FILE or FILE.ext: a file, "..."
#                   repeats); options in the synopsis and their values are left out
#   the flows       "Flows (for screenshot): A, B, C"
#   the palettes    the --palette option's "colours: a, b, c (default ...)"
# A help text without any of these is an error, not an empty completion.

execute_process(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 ${PROGRAM} --help
                OUTPUT_VARIABLE help RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --help failed (${result})")
endif()
string(REPLACE ";" "," help "${help}")
string(REPLACE "\n" ";" lines "${help}")

set(section "")
set(global_options "")
set(value_options "")
set(commands "")
set(owners "")
set(command_options "")
set(command_arguments "")
set(flows "")
set(palettes "")
foreach(line IN LISTS lines)
  if(line MATCHES "^([A-Z][A-Za-z ]*):$")
    set(section "${CMAKE_MATCH_1}")
    continue()
  endif()
  if(line MATCHES "^Flows \\(for screenshot\\): (.+)$")
    string(REPLACE "," "" flows "${CMAKE_MATCH_1}")
    continue()
  endif()
  if(section STREQUAL "Options" AND line MATCHES "^  (-[a-zA-Z], )?(--[a-z][a-z-]*)( <[a-z]+>)?  +(.*)$")
    set(short "${CMAKE_MATCH_1}")
    set(long "${CMAKE_MATCH_2}")
    set(value "${CMAKE_MATCH_3}")
    set(description "${CMAKE_MATCH_4}")
    set(names "${long}")
    if(short)
      string(REGEX REPLACE ", $" "" short "${short}")
      set(names "${short} ${long}")
    endif()
    if(value)
      string(APPEND value_options " ${names}")
    endif()
    if(long STREQUAL "--palette" AND description MATCHES "colours: ([a-z, ]+) \\(")
      string(REPLACE "," "" palettes "${CMAKE_MATCH_1}")
    endif()
    if(description MATCHES "^([a-z][a-z-]*(, [a-z][a-z-]*)*): ")
      string(REPLACE ", " ";" commands_of_option "${CMAKE_MATCH_1}")
      foreach(owner IN LISTS commands_of_option)
        list(APPEND owners ${owner})
        string(APPEND options_of_${owner} " ${names}")
      endforeach()
    else()
      string(APPEND global_options " ${names}")
    endif()
    continue()
  endif()
  if(section STREQUAL "Commands" AND line MATCHES "^  ([a-z][a-z-]*)( [^ ]+( [^ ]+)*)?(  |$)")
    set(command "${CMAKE_MATCH_1}")
    string(APPEND commands " ${command}")
    # The synopsis up to the description: arguments in capitals, without options and their values.
    string(REGEX REPLACE "^  [a-z][a-z-]*" "" synopsis "${line}")
    string(REGEX REPLACE "   .*$" "" synopsis "${synopsis}")
    string(REGEX REPLACE "[][|]" " " synopsis "${synopsis}")
    string(REGEX REPLACE "--?[a-z][a-z-]*( [A-Z][A-Z.]*)?" "" synopsis "${synopsis}")
    string(REGEX MATCHALL "[A-Z][A-Za-z.]*" arguments "${synopsis}")
    string(REPLACE ";" " " arguments "${arguments}")
    list(APPEND command_arguments "[${command}]=\"${arguments}\"")
  endif()
endforeach()

foreach(required global_options commands flows palettes)
  if("${${required}}" STREQUAL "")
    message(FATAL_ERROR "found no ${required} in ${PROGRAM} --help: the completion cannot be written")
  endif()
endforeach()

foreach(variable global_options value_options commands flows palettes)
  string(STRIP "${${variable}}" ${variable})
endforeach()
list(REMOVE_DUPLICATES owners)
foreach(owner IN LISTS owners)
  string(STRIP "${options_of_${owner}}" options)
  list(APPEND command_options "[${owner}]=\"${options}\"")
endforeach()
string(REPLACE ";" " " command_options "${command_options}")
string(REPLACE ";" " " command_arguments "${command_arguments}")
configure_file(${TEMPLATE} ${OUTPUT} @ONLY)
