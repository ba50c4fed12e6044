# pictavo_embed_resources(VAR LIST_FILE): generates a source that embeds every file named in
# LIST_FILE into the object it is compiled into and registers the table with the platform
# when the module loads. Lines of LIST_FILE: TYPE NAME FILE (relative to the list's folder);
# TYPE is BITMAP, STRING, RCDATA, a number, or any other word (a string type); NAME a number
# or a word; '#' starts a comment. A FILE ending in .svg is drawn into a PNG at build time with
# rsvg-convert and the program's own fonts; a fourth field "opaque" drops its alpha. The PNGs
# made are returned in VAR_PICTURES, for the target to depend on.
find_program(PICTAVO_RSVG_CONVERT rsvg-convert)
find_program(PICTAVO_IM_CONVERT convert)
function(pictavo_embed_resources var list_file)
  get_filename_component(res_dir ${list_file} DIRECTORY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${list_file})
  file(STRINGS ${list_file} lines)
  set(asm "")
  set(decls "")
  set(entries "")
  set(deps "")
  set(index 0)
  set(pictures "")
  foreach(line ${lines})
    string(STRIP "${line}" line)
    if(line STREQUAL "" OR line MATCHES "^#")
      continue()
    endif()
    string(REGEX REPLACE "[ \t]+" ";" fields "${line}")
    list(LENGTH fields count)
    if(NOT (count EQUAL 3 OR count EQUAL 4))
      message(FATAL_ERROR "${list_file}: expected TYPE NAME FILE [opaque]: ${line}")
    endif()
    list(GET fields 0 type)
    list(GET fields 1 name)
    list(GET fields 2 file)
    set(path ${res_dir}/${file})
    if(NOT EXISTS ${path})
      message(FATAL_ERROR "${list_file}: no such file ${path}")
    endif()
    if(file MATCHES "\\.svg$")
      pictavo_render_svg(${path} "${fields}" png)
      list(APPEND pictures ${png})
      set(path ${png})
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
  set(${var}_PICTURES ${pictures} PARENT_SCOPE)
endfunction()

# The skin is drawn with the fonts the program itself draws text with, so captions in pictures
# match the interface; ImageMagick only drops the alpha of the opaque ones (dates left out, so
# the same source gives the same bytes).
function(pictavo_render_svg svg fields out_var)
  if(NOT PICTAVO_RSVG_CONVERT OR NOT PICTAVO_IM_CONVERT)
    message(FATAL_ERROR "rsvg-convert and ImageMagick's convert are needed to draw ${svg} (scripts/setup installs them)")
  endif()
  get_filename_component(stem ${svg} NAME_WE)
  set(png ${CMAKE_CURRENT_BINARY_DIR}/generated/res/${stem}.png)
  set(fonts ${CMAKE_SOURCE_DIR}/res/fonts/pictavo-fonts.conf)
  set(opaque_step "")
  list(LENGTH fields count)
  if(count EQUAL 4)
    list(GET fields 3 mode)
    if(NOT mode STREQUAL "opaque")
      message(FATAL_ERROR "${svg}: unknown mode ${mode}")
    endif()
    set(opaque_step COMMAND ${PICTAVO_IM_CONVERT} ${png} -alpha off -strip
        -define png:exclude-chunks=date,time PNG24:${png})
  endif()
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/generated/res
    COMMAND ${CMAKE_COMMAND} -E env FONTCONFIG_FILE=${fonts} ${PICTAVO_RSVG_CONVERT} -o ${png} ${svg}
    ${opaque_step}
    DEPENDS ${svg} ${fonts}
    COMMENT "Drawing ${stem}.png"
    VERBATIM)
  set(${out_var} ${png} PARENT_SCOPE)
endfunction()
