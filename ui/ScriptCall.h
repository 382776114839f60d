#pragma once
// The window's calls of page functions as the page receives them: a batch of calls is one
// call of the host's runner with the calls as data, which the engine reads without compiling
// a script of its own for each batch. The data are the batch's distinct texts (function names
// and arguments), each once, then every call as the index of its name, the number of its
// arguments and their indexes:
//   __velmoraRunCalls([["jsUpdateProgress","42","1.50","1.51"],[0,2,1,2,0,2,1,3]]);
// A progress call repeats most of its texts, so the page makes few strings of its own for
// thousands of calls. The runner (ExternalScript.cpp) makes each its own guarded call, in
// order:
//   if (typeof f === 'function') { try { f('42', '1.50'); } catch (e) {} }

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The global function of the page's host script that runs a batch.
inline constexpr char kCallRunner[] = "__velmoraRunCalls";

// Appends text as a JSON string literal that is also safe anywhere in a script: quotes,
// backslashes, control characters, line and paragraph separators, '<' and '>' (so that no
// "</script>" can appear) are escaped; invalid UTF-8 and NUL become U+FFFD.
void AppendJsStringLiteral(std::string& out, std::string_view text);
std::string JsStringLiteral(std::string_view text);

// Whether name can stand in a script as a plain identifier (the name of a global function).
bool IsScriptIdentifier(std::string_view name);

class CScriptBatch {
  public:
    // Adds the call name(args...). False, and nothing added, when name is not an identifier
    // or the batch is closed.
    bool Add(std::string_view name, const std::vector<std::string>& args);
    // Takes no more calls, and lets go of what it needed only to add them: a batch that waits
    // for its page keeps just its script's text.
    void Close();

    std::size_t Calls() const { return m_calls; }
    // The size of the script so far, near enough.
    std::size_t Bytes() const { return m_texts.size() + m_indexes.size(); }
    // The script that runs the calls in order.
    std::string Script() const;

  private:
    unsigned IndexOf(std::string_view text);

    std::string m_texts;    // JSON string literals, comma-separated
    std::string m_indexes;  // numbers, comma-separated
    std::unordered_map<std::string, unsigned> m_index;
    std::size_t m_calls = 0;
    bool m_closed = false;
};
