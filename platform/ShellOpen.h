#pragma once
#include <functional>
#include <memory>
#include <string>

// Opens path with its default application through xdg-open, detached and not waited for;
// the outcome is not examined.
void ShellOpen(const std::string& path);

// xdg-open's answers (its exit status): 0 opened; 3 no handler, or a tool it needs is missing;
// 4 the action failed. A missing xdg-open counts as 3.
constexpr int kShellOpenDone = 0;
constexpr int kShellOpenNoHandler = 3;
constexpr int kShellOpenFailed = 4;

// Watches one xdg-open child until it exits. While it lives, the answer is reported once, on
// the main context; destroyed earlier, it reports nothing.
class CShellOpenWatch {
  public:
    using Done = std::function<void(int exitStatus)>;
    ~CShellOpenWatch();
    CShellOpenWatch(const CShellOpenWatch&) = delete;
    CShellOpenWatch& operator=(const CShellOpenWatch&) = delete;

  private:
    friend std::unique_ptr<CShellOpenWatch> ShellOpenWatched(const std::string&, Done);
    explicit CShellOpenWatch(Done done) : m_done(std::move(done)) {}
    static void OnExit(int pid, int waitStatus, void* self);

    Done m_done;
    unsigned m_source = 0;
};

// Opens path through xdg-open and reports its exit status to done on the main context (at
// once, through the main context too, when xdg-open cannot be started).
std::unique_ptr<CShellOpenWatch> ShellOpenWatched(const std::string& path,
                                                  CShellOpenWatch::Done done);
