# Runs the layer include check on small trees made here, so that a check which passes
# everything (a broken pattern, a wrong resolution, an empty manifest) is caught.
#
#   cmake -DCHECK_SCRIPT=<CheckLayerIncludes.cmake> -DWORK=<scratch folder> -P <this file>
cmake_minimum_required(VERSION 3.25)

set(failures 0)

function(fail text)
  message(NOTICE "FAILED: ${text}")
  math(EXPR count "${failures} + 1")
  set(failures ${count} PARENT_SCOPE)
endfunction()

# The tree every case starts from: three layers low < mid < high, with one low file kept in
# the mid folder, includes relative to the including file and to src/, and includes that
# name no file of the tree. It has no upward include.
function(make_tree)
  file(REMOVE_RECURSE "${WORK}")
  file(WRITE "${WORK}/src/low/base.h" "#pragma once\n")
  file(WRITE "${WORK}/src/low/base.cpp"
    "#include \"low/base.h\"\n#include <vector>\n#include \"generated/version.h\"\n")
  file(WRITE "${WORK}/src/mid/lowish.h" "#pragma once\n#include \"../low/base.h\"\n")
  file(WRITE "${WORK}/src/mid/thing.h"
    "#pragma once\n#include \"low/base.h\"\n#include \"lowish.h\"\n")
  file(WRITE "${WORK}/src/mid/thing.cpp"
    "#include \"mid/thing.h\"\n  #  include   \"thing.h\"  // again; harmless\n")
  file(WRITE "${WORK}/src/high/top.h" "#pragma once\n#include \"mid/thing.h\"\n")
  file(WRITE "${WORK}/src/high/top.cpp" "#include \"high/top.h\"\n#include \"../low/base.h\"\n")
  file(WRITE "${WORK}/layers.cmake"
    "set(LAYERS \"low;mid;high\")\n"
    "set(INCLUDE_ROOTS src)\n"
    "set(LAYER_low \"src/low/base.h;src/low/base.cpp;src/mid/lowish.h\")\n"
    "set(LAYER_mid \"src/mid/thing.h;src/mid/thing.cpp\")\n"
    "set(LAYER_high \"src/high/top.h;src/high/top.cpp\")\n")
endfunction()

# Runs the check; sets `code` and `output` (stdout and stderr together) in the caller.
function(run_check)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -DROOT=${WORK} -DMANIFEST=${WORK}/layers.cmake
      -DSTAMP=${WORK}/checked.stamp -P ${CHECK_SCRIPT}
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  set(code "${result}" PARENT_SCOPE)
  set(output "${out}" PARENT_SCOPE)
endfunction()

function(expect_pass case)
  run_check()
  if(NOT code EQUAL 0)
    fail("${case}: expected to pass, exit ${code}:\n${output}")
  elseif(NOT EXISTS "${WORK}/checked.stamp")
    fail("${case}: passed without writing the stamp")
  endif()
  set(failures ${failures} PARENT_SCOPE)
endfunction()

# Every further argument is a line the output must hold.
function(expect_fail case)
  run_check()
  if(code EQUAL 0)
    fail("${case}: expected to fail, passed:\n${output}")
  else()
    # CMake wraps long messages at blanks, wherever the paths make them long: compare with
    # every run of white space as one blank.
    string(REGEX REPLACE "[ \t\r\n]+" " " flat "${output}")
    foreach(line IN LISTS ARGN)
      string(FIND "${flat}" "${line}" at)
      if(at EQUAL -1)
        fail("${case}: output lacks \"${line}\":\n${output}")
      endif()
    endforeach()
  endif()
  if(EXISTS "${WORK}/checked.stamp")
    fail("${case}: failed but left the stamp")
  endif()
  set(failures ${failures} PARENT_SCOPE)
endfunction()

make_tree()
expect_pass("tree without upward includes")

make_tree()
file(APPEND "${WORK}/src/mid/thing.cpp" "#include \"high/top.h\"\n")
file(TOUCH "${WORK}/checked.stamp")  # a stale stamp from an earlier passing run
expect_fail("include of a higher layer"
  "src/mid/thing.cpp includes high/top.h: mid may not include from a higher layer (high)")

make_tree()
file(APPEND "${WORK}/src/mid/lowish.h" "#include \"thing.h\"\n")
expect_fail("layer given by the file, not its folder"
  "src/mid/lowish.h includes thing.h: low may not include from a higher layer (mid)")

make_tree()
file(APPEND "${WORK}/src/low/base.cpp" "   #   include \"../high/top.h\"\n")
file(APPEND "${WORK}/src/low/base.h" "#include \"mid/thing.h\"\n")
expect_fail("relative and spaced includes, every violation reported"
  "src/low/base.cpp includes ../high/top.h: low may not include from a higher layer (high)"
  "src/low/base.h includes mid/thing.h: low may not include from a higher layer (mid)"
  "2 include(s) from a higher layer; the layers: low < mid < high")

# The including file's own folder comes first, as for the compiler: src/low/mid/thing.h,
# not the mid layer's src/mid/thing.h.
make_tree()
file(WRITE "${WORK}/src/low/mid/thing.h" "#pragma once\n")
file(APPEND "${WORK}/src/low/base.cpp" "#include \"mid/thing.h\"\n")
expect_pass("include found beside the including file")

# A manifest that would let everything pass is refused.
make_tree()
file(WRITE "${WORK}/layers.cmake" "set(LAYERS \"\")\n")
expect_fail("empty manifest" "names fewer than two layers")

make_tree()
file(APPEND "${WORK}/layers.cmake" "set(LAYER_mid \"\")\n")
expect_fail("layer without files" "layer mid has no files")

make_tree()
file(APPEND "${WORK}/layers.cmake" "list(APPEND LAYER_high src/low/base.h)\n")
expect_fail("file in two layers" "src/low/base.h is in two layers (low and high)")

file(REMOVE_RECURSE "${WORK}")
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} layer include check case(s) failed")
endif()
message(STATUS "layer include check: every case behaved")
