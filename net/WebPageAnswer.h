#pragma once
// Behind a hotel's or an airport's sign-in portal every address answers 200 with the portal's
// page. Such an answer is never an installer or an update reply: told apart by what it says it
// is and by its first bytes, so that a server which labels a real installer text/html still
// works (its bytes are not HTML).

#include <optional>
#include <string>
#include <string_view>

// Whether bytes begin, after optional white space, with an HTML doctype or an <html> tag.
bool LooksLikeHtml(std::string_view bytes);
// Whether contentType says text/html (parameters after it are allowed).
bool IsHtmlType(const std::optional<std::string>& contentType);
// Whether an answer labelled contentType whose body begins with firstBytes is a web page.
bool IsWebPage(const std::optional<std::string>& contentType, std::string_view firstBytes);
