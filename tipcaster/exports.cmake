# The control's export table, written as a module-definition file for the
# architecture being built (i686 or x86_64) from the one table below.
#
# Ordinals 1 to 4 are the server's entry points (stdcall: on i686 their
# symbols carry "@" and the argument bytes). Ordinals 101 to 119 are the
# methods again, as protected members of CTSHelpButtonCtrl, for hosts that
# call the object directly: ordinal = dispatch id + 84. They are exported
# under the names the platform's own compiler gives such members, so that
# its hosts link them by name, and bound to the members as g++ compiled
# them.

# Entry point, ordinal, argument bytes.
set(tipcaster_entry_points
  "DllCanUnloadNow 1 0"
  "DllGetClassObject 2 12"
  "DllRegisterServer 3 0"
  "DllUnregisterServer 4 0")

# Method, result, parameters, in dispatch-id order from ordinal 101. Types:
# void, int, long, text (const char *).
set(tipcaster_exported_members
  "ShowTextPopup int long long"
  "ShowActivePopup int long int"
  "ShowHTMLHelpTopicId int long text"
  "ShowHTMLHelpTopic int text text"
  "SetMapFile int text"
  "ShowAKeyword void text text"
  "ShowKeyword void text text"
  "ShowHTMLHelpContents void text"
  "ShowHTMLHelpIndex void text"
  "ShowHTMLHelpSearch void text"
  "ShowSkyrelayTopicId void long"
  "ShowSkyrelayTopic void text"
  "SetJavaHelpSettings void long text text text text text"
  "ShowJavaHelpTopic void text"
  "ShowSkyrelayTopicId2 void long"
  "ShowSkyrelayTopic2 void text"
  "ShowActivePopup2 int text int"
  "ShowSkyrelayTopicIdSub2 void long"
  "ShowSkyrelayTopicSub2 void text")

set(tipcaster_class CTSHelpButtonCtrl)

# The platform compiler's name of a protected, non-static, non-const member
# function: "?" name "@" class "@@", the access and calling convention
# (i686: IAE, protected __thiscall; x86_64: IEAA, protected, 64-bit this,
# __cdecl), the result, the parameters, "@Z" (a bare "XZ" for none). A
# type of more than one letter is written in full the first time and by
# its back-reference digit after that.
function(tipcaster_platform_name out method result)
  if(NETMON_WIN64)
    set(member IEAA)
    set(text PEBD)
  else()
    set(member IAE)
    set(text PBD)
  endif()
  set(codes_void X)
  set(codes_int H)
  set(codes_long J)
  set(codes_text ${text})
  set(name "?${method}@${tipcaster_class}@@${member}${codes_${result}}")
  set(remembered "")
  foreach(type IN LISTS ARGN)
    set(code ${codes_${type}})
    string(LENGTH ${code} length)
    list(FIND remembered ${code} reference)
    if(reference GREATER_EQUAL 0)
      string(APPEND name ${reference})
    else()
      string(APPEND name ${code})
      if(length GREATER 1)
        list(APPEND remembered ${code})
      endif()
    endif()
  endforeach()
  if(ARGN)
    string(APPEND name "@Z")
  else()
    string(APPEND name "XZ")
  endif()
  set(${out} ${name} PARENT_SCOPE)
endfunction()

# The member as g++ names it (the Itanium C++ ABI): the class is
# substitution S_, a first "const char *" adds Kc (S0_) and PKc (S1_), so a
# second one is S1_.
function(tipcaster_gnu_name out method)
  string(LENGTH ${tipcaster_class} class_length)
  string(LENGTH ${method} method_length)
  set(name "_ZN${class_length}${tipcaster_class}${method_length}${method}E")
  set(codes_int i)
  set(codes_long l)
  set(text_seen FALSE)
  foreach(type IN LISTS ARGN)
    if(type STREQUAL "text")
      if(text_seen)
        string(APPEND name "S1_")
      else()
        string(APPEND name "PKc")
        set(text_seen TRUE)
      endif()
    else()
      string(APPEND name ${codes_${type}})
    endif()
  endforeach()
  if(NOT ARGN)
    string(APPEND name "v")
  endif()
  set(${out} ${name} PARENT_SCOPE)
endfunction()

function(tipcaster_write_def path)
  set(lines "LIBRARY \"TIPCASTER.OCX\"\nEXPORTS\n")
  foreach(entry IN LISTS tipcaster_entry_points)
    separate_arguments(fields UNIX_COMMAND "${entry}")
    list(GET fields 0 name)
    list(GET fields 1 ordinal)
    list(GET fields 2 bytes)
    if(NETMON_WIN64)
      string(APPEND lines "  ${name} @${ordinal} PRIVATE\n")
    else()
      string(APPEND lines "  ${name} = ${name}@${bytes} @${ordinal} PRIVATE\n")
    endif()
  endforeach()
  set(ordinal 101)
  foreach(member IN LISTS tipcaster_exported_members)
    separate_arguments(fields UNIX_COMMAND "${member}")
    list(POP_FRONT fields method result)
    tipcaster_platform_name(exported ${method} ${result} ${fields})
    tipcaster_gnu_name(internal ${method} ${fields})
    string(APPEND lines "  ${exported} = ${internal} @${ordinal}\n")
    math(EXPR ordinal "${ordinal} + 1")
  endforeach()
  # Written only when it changes, so that a new configure relinks nothing.
  set(current "")
  if(EXISTS ${path})
    file(READ ${path} current)
  endif()
  if(NOT current STREQUAL lines)
    file(WRITE ${path} "${lines}")
  endif()
endfunction()
