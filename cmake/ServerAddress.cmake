# The probe hands the address to inet_pton, which takes only a dotted IPv4 address: four decimal
# parts 0-255, no leading zeros, nothing around them. Anything else would build a program that
# can never reach its server, so refuse it here.
function(kestrel_require_ipv4 variable)
  set(address "${${variable}}")
  set(part "(0|[1-9][0-9]?[0-9]?)")
  set(ok FALSE)
  if(address MATCHES "^${part}\\.${part}\\.${part}\\.${part}$")
    set(ok TRUE)
    foreach(i 1 2 3 4)
      if(CMAKE_MATCH_${i} GREATER 255)
        set(ok FALSE)
      endif()
    endforeach()
  endif()
  if(NOT ok)
    message(FATAL_ERROR
      "${variable} must be a dotted IPv4 address: four parts 0-255 separated by dots, without "
      "leading zeros, spaces or anything else (e.g. 192.0.2.10); got '${address}'.")
  endif()
endfunction()
