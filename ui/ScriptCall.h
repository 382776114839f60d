#pragma once
// The text of one guarded call of a page function, as the window sends it to the page.

#include <string>
#include <string_view>
#include <vector>

// text as a single-quoted JavaScript string literal that is safe anywhere in a script:
// quotes, backslashes, control characters, line and paragraph separators and '<' (so that no
// "</script>" can appear) are escaped; invalid UTF-8 is replaced by U+FFFD.
std::string JsStringLiteral(std::string_view text);

// Whether name can stand in a script as a plain identifier (the name of a global function).
bool IsScriptIdentifier(std::string_view name);

// One statement that calls the page function name with args, in order, only when the page
// defines it as a function, and swallows whatever the function throws:
//   if (typeof f === 'function') { try { f('a', 'b'); } catch (e) {} }
// Empty when name is not an identifier.
std::string ScriptCallText(std::string_view name, const std::vector<std::string>& args);
