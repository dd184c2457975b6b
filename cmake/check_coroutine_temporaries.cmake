# g++ 12 destroys twice an aggregate built in place inside a co_await
# expression (see src/common/task.h). Fails on the two shapes of it: a lambda
# capturing by value, and a braced temporary `Name{...}`, between `co_await`
# and the end of its statement. Run as: cmake -DROOT=<src> -P this.
file(GLOB_RECURSE files "${ROOT}/*.h" "${ROOT}/*.cpp")
set(violations "")
foreach(file IN LISTS files)
  file(READ "${file}" text)
  if(NOT text MATCHES "co_await")
    continue()
  endif()
  file(RELATIVE_PATH rel "${ROOT}" "${file}")
  string(REGEX REPLACE "//[^\n]*" "" text "${text}") # comments
  string(REGEX MATCHALL "co_await[^;]*" statements "${text}")
  foreach(statement IN LISTS statements)
    # Lambda captures: every item must be a reference or `this`.
    # A lambda's `[` follows `(`, `,` or `=`; a subscript's follows a name.
    string(REGEX MATCHALL "[(,=][ \t\r\n]*\\[[^]\\[]*\\][ \t\r\n]*[({]" lambdas "${statement}")
    foreach(lambda IN LISTS lambdas)
      string(REGEX REPLACE "^[^[]*\\[([^]]*)\\].*" "\\1" captures "${lambda}")
      string(REPLACE "," ";" items "${captures}")
      foreach(item IN LISTS items)
        string(STRIP "${item}" item)
        if(NOT item STREQUAL "" AND NOT item MATCHES "^&" AND NOT item STREQUAL "this")
          string(APPEND violations "\n  ${rel}: lambda capturing '${item}' by value inside co_await")
        endif()
      endforeach()
    endforeach()
    if(statement MATCHES "[A-Za-z0-9_>][ \t]*{")
      string(REGEX MATCH "[A-Za-z0-9_:<>]+[ \t]*{" braced "${statement}")
      if(NOT braced MATCHES "^(mutable|const|noexcept)")
        string(APPEND violations "\n  ${rel}: braced temporary '${braced}...' inside co_await")
      endif()
    endif()
  endforeach()
endforeach()
if(violations)
  message(FATAL_ERROR "Temporaries that g++ 12 destroys twice; move them into a named local:${violations}")
endif()
