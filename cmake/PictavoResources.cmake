# pictavo_embed_resources(VAR LIST_FILE): generates a source that embeds every file named in
# LIST_FILE into the object it is compiled into and registers the table with the platform
# when the module loads. Lines of LIST_FILE: TYPE NAME FILE (relative to the list's folder);
# TYPE is BITMAP, STRING, RCDATA, a number, or any other word (a string type); NAME a number
# or a word; '#' starts a comment.
function(pictavo_embed_resources var list_file)
  get_filename_component(res_dir ${list_file} DIRECTORY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${list_file})
  file(STRINGS ${list_file} lines)
  set(asm "")
  set(decls "")
  set(entries "")
  set(deps "")
  set(index 0)
  foreach(line ${lines})
    string(STRIP "${line}" line)
    if(line STREQUAL "" OR line MATCHES "^#")
      continue()
    endif()
    string(REGEX REPLACE "[ \t]+" ";" fields "${line}")
    list(LENGTH fields count)
    if(NOT count EQUAL 3)
      message(FATAL_ERROR "${list_file}: expected TYPE NAME FILE: ${line}")
    endif()
    list(GET fields 0 type)
    list(GET fields 1 name)
    list(GET fields 2 file)
    set(path ${res_dir}/${file})
    if(NOT EXISTS ${path})
      message(FATAL_ERROR "${list_file}: no such file ${path}")
    endif()
    if(type STREQUAL "BITMAP")
      set(type_field "nullptr, 2")
    elseif(type STREQUAL "STRING")
      set(type_field "nullptr, 6")
    elseif(type STREQUAL "RCDATA")
      set(type_field "nullptr, 10")
    elseif(type MATCHES "^[0-9]+$")
      set(type_field "nullptr, ${type}")
    else()
      set(type_field "u\"${type}\", 0")
    endif()
    if(name MATCHES "^[0-9]+$")
      set(name_field "nullptr, ${name}")
    else()
      set(name_field "u\"${name}\", 0")
    endif()
    set(sym pictavo_resource_${index})
    string(REPLACE "\\" "\\\\" esc_path "${path}")
    string(REPLACE "\"" "\\\"" esc_path "${esc_path}")
    string(APPEND asm
      "    \".pushsection .rodata\\n\"\n"
      "    \".balign 16\\n\"\n"
      "    \".hidden ${sym}\\n.globl ${sym}\\n\"\n"
      "    \"${sym}:\\n\"\n"
      "    \".incbin \\\"${esc_path}\\\"\\n\"\n"
      "    \"${sym}_end:\\n.balign 4\\n.hidden ${sym}_size\\n.globl ${sym}_size\\n\"\n"
      "    \"${sym}_size: .long ${sym}_end - ${sym}\\n.popsection\\n\"\n")
    string(APPEND decls "extern \"C\" const BYTE ${sym}[];\nextern \"C\" const DWORD ${sym}_size;\n")
    string(APPEND entries "    {${type_field}, ${name_field}, ${sym}, ${sym}_size},\n")
    list(APPEND deps ${path})
    math(EXPR index "${index} + 1")
  endforeach()
  set(out ${CMAKE_CURRENT_BINARY_DIR}/generated/ModuleResources.cpp)
  file(CONFIGURE OUTPUT ${out} CONTENT [[
// Generated from @list_file@: do not edit.
#include "module/Module.h"
#include "platform/com/Resource.h"

__asm__(
@asm@);

@decls@
namespace {

using pictavo::platform::ResourceEntry;

ResourceEntry g_entries[] = {
@entries@};

struct Registration {
    Registration() { pictavo::platform::registerResources(Module::Handle(), g_entries); }
    ~Registration() { pictavo::platform::unregisterResources(Module::Handle()); }
} g_registration;

} // namespace
]] @ONLY)
  set_source_files_properties(${out} PROPERTIES OBJECT_DEPENDS "${deps}")
  set(${var} ${out} PARENT_SCOPE)
endfunction()
