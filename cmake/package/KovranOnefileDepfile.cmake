# What a depfile can name, for kovran_onefile_add() and its build step. Ninja reads a
# depfile's names as letters, digits and +,/_:.~(){}%=@[]!- with '$$', '\#' and '\ ' for
# '$', '#' and a space; any other character ends a name, so that a path holding one would
# name a file that is not there, and the output would be made again on every build.
include_guard(GLOBAL)
string(ASCII 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29 30 31
  127 _kovran_onefile_control_characters)

function(kovran_onefile_depfile_can_name path out)
  if(path MATCHES "[\"&'*;<>?\\^`|${_kovran_onefile_control_characters}]" OR path MATCHES ":$")
    set(${out} FALSE PARENT_SCOPE)
  else()
    set(${out} TRUE PARENT_SCOPE)
  endif()
endfunction()
