# Fails when a source file includes a file of a layer above its own.
#
#   cmake -DROOT=<source tree> -DMANIFEST=<layer list> [-DSTAMP=<file>] -P CheckLayerIncludes.cmake
#
# The manifest is a CMake file that sets
#   LAYERS          the layer names, lowest first
#   LAYER_<name>    the files of that layer, relative to ROOT (every file is in at most one)
#   INCLUDE_ROOTS   the include folders, relative to ROOT, searched after the including
#                   file's own folder, as the compiler does for "..." includes
# Layers are given per file, not per folder, since some folders hold files of two layers.
# Every quoted include of every listed file is resolved the way the compiler would; an
# include that resolves to a listed file of a higher layer is reported as
#   <file> includes <name>: <layer> may not include from a higher layer (<other layer>)
# Includes that resolve to no listed file (system, generated, outside files) are not judged.
# On success STAMP is touched, on failure it is removed.
cmake_minimum_required(VERSION 3.25)

foreach(argument ROOT MANIFEST)
  if(NOT DEFINED ${argument})
    message(FATAL_ERROR "CheckLayerIncludes: -D${argument}=... is missing")
  endif()
endforeach()
if(DEFINED STAMP)
  file(REMOVE "${STAMP}")
endif()
include("${MANIFEST}")

# A check with nothing to check would pass every tree: an empty manifest is an error.
list(LENGTH LAYERS layer_count)
if(layer_count LESS 2)
  message(FATAL_ERROR "CheckLayerIncludes: ${MANIFEST} names fewer than two layers")
endif()

set(rank 0)
foreach(layer IN LISTS LAYERS)
  if(NOT LAYER_${layer})
    message(FATAL_ERROR "CheckLayerIncludes: layer ${layer} has no files")
  endif()
  foreach(member IN LISTS LAYER_${layer})
    if(DEFINED owner_${member})
      message(FATAL_ERROR
        "CheckLayerIncludes: ${member} is in two layers (${owner_${member}} and ${layer})")
    endif()
    if(NOT EXISTS "${ROOT}/${member}")
      message(FATAL_ERROR "CheckLayerIncludes: ${member} of layer ${layer} does not exist")
    endif()
    set("owner_${member}" "${layer}")
    set("rank_${member}" ${rank})
  endforeach()
  math(EXPR rank "${rank} + 1")
endforeach()

set(include_pattern "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\"")
set(checked 0)
set(violations 0)
foreach(layer IN LISTS LAYERS)
  foreach(member IN LISTS LAYER_${layer})
    math(EXPR checked "${checked} + 1")
    file(STRINGS "${ROOT}/${member}" include_lines REGEX "${include_pattern}")
    get_filename_component(member_folder "${member}" DIRECTORY)
    foreach(line IN LISTS include_lines)
      if(NOT line MATCHES "${include_pattern}")
        continue()  # the tail of a line that held a ';'
      endif()
      set(included "${CMAKE_MATCH_1}")
      # The first folder in which the file exists is the one the compiler takes.
      set(resolved "")
      foreach(base IN ITEMS "${member_folder}" ${INCLUDE_ROOTS})
        cmake_path(SET candidate NORMALIZE "${base}/${included}")
        if(EXISTS "${ROOT}/${candidate}" AND NOT IS_DIRECTORY "${ROOT}/${candidate}")
          set(resolved "${candidate}")
          break()
        endif()
      endforeach()
      if(resolved STREQUAL "" OR NOT DEFINED owner_${resolved})
        continue()
      endif()
      if(${rank_${resolved}} GREATER ${rank_${member}})
        message(NOTICE "${member} includes ${included}: ${layer} may not include from a higher "
                       "layer (${owner_${resolved}})")
        math(EXPR violations "${violations} + 1")
      endif()
    endforeach()
  endforeach()
endforeach()

list(JOIN LAYERS " < " layer_order)
if(violations GREATER 0)
  message(FATAL_ERROR "${violations} include(s) from a higher layer; the layers: ${layer_order}")
endif()
if(DEFINED STAMP)
  file(TOUCH "${STAMP}")
endif()
message(STATUS "Layer includes: ${checked} files in ${layer_count} layers, none from above")
