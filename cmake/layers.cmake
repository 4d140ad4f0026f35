# The layers of src/: which folder may include the headers of which. They are written once, in the
# "Folders" table of README.md: a row "| `src/<folder>` | what it holds | may include |", whose last
# cell names the folders it may use in backticks. The libraries' links and the include check both
# read that table.

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  cmake_minimum_required(VERSION 3.25)  # the policies of the project, in a script run alone
endif()

# Sets QUORVANE_LAYERS (the folders in the table's order) and QUORVANE_LAYER_USES_<folder> (the
# folders it may include) in the caller's scope.
function(quorvane_read_layers readme)
  file(STRINGS ${readme} lines)
  set(in_table OFF)
  set(layers)
  foreach(line IN LISTS lines)
    if(line MATCHES "^## ")
      set(in_table OFF)
      if(line STREQUAL "## Folders")
        set(in_table ON)
      endif()
    elseif(in_table AND line MATCHES "^\\| `src/([a-z0-9_]+)` \\|[^|]*\\|([^|]*)\\|$")
      set(folder ${CMAKE_MATCH_1})
      string(REGEX MATCHALL "`[a-z0-9_]+`" uses "${CMAKE_MATCH_2}")
      string(REPLACE "`" "" uses "${uses}")
      list(APPEND layers ${folder})
      set(QUORVANE_LAYER_USES_${folder} ${uses} PARENT_SCOPE)
    endif()
  endforeach()
  if(NOT layers)
    message(FATAL_ERROR "${readme}: no folder table under \"## Folders\"")
  endif()
  set(QUORVANE_LAYERS ${layers} PARENT_SCOPE)
endfunction()

# The include lines of the files under src/<folder> that name a header of another folder the table
# does not let it use, one "file: includes header, but folder may use only ..." each, in `result`.
function(quorvane_layer_violations source_dir result)
  quorvane_read_layers(${source_dir}/README.md)
  set(found)
  file(GLOB folders RELATIVE ${source_dir}/src ${source_dir}/src/*)
  foreach(folder IN LISTS folders)
    if(NOT IS_DIRECTORY ${source_dir}/src/${folder})
      continue()
    endif()
    if(NOT folder IN_LIST QUORVANE_LAYERS)
      list(APPEND found "src/${folder}: a folder the table of README.md does not list")
      continue()
    endif()
    set(uses ${QUORVANE_LAYER_USES_${folder}})
    file(GLOB_RECURSE files ${source_dir}/src/${folder}/*.h ${source_dir}/src/${folder}/*.cpp)
    foreach(file IN LISTS files)
      file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][a-z0-9_]+/")
      foreach(include IN LISTS includes)
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[\"<]([a-z0-9_]+)/([^\">]*).*$"
                             "\\1;\\2" target "${include}")
        list(GET target 0 used)
        list(GET target 1 header)
        if(used STREQUAL folder OR NOT used IN_LIST QUORVANE_LAYERS OR used IN_LIST uses)
          continue()
        endif()
        file(RELATIVE_PATH where ${source_dir} ${file})
        string(REPLACE ";" ", " allowed "${uses}")
        list(APPEND found
             "${where}: includes ${used}/${header}, but src/${folder} may use only: ${allowed}")
      endforeach()
    endforeach()
  endforeach()
  set(${result} ${found} PARENT_SCOPE)
endfunction()

# Run as a script (cmake -DQUORVANE_SOURCE_DIR=... -DSTAMP=... -P layers.cmake): fails on any
# include against the table, and otherwise touches the stamp.
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  quorvane_layer_violations(${QUORVANE_SOURCE_DIR} violations)
  if(violations)
    list(JOIN violations "\n  " text)
    message(FATAL_ERROR "Includes against the layer table (README.md, Folders):\n  ${text}")
  endif()
  file(TOUCH ${STAMP})
endif()
