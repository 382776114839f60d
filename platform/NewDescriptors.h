#pragma once
// Descriptors that a library opens without close-on-exec, marked once they are made. WebKit
// starts its processes from this one and they inherit every descriptor not marked so: a
// connection of the program's, held by the page's process, would stay open when the program
// closes it, and would hand that process the program's traffic.

#include <vector>

class CNewDescriptors {
  public:
    // Remembers the descriptors open now.
    void Note();
    // Marks close-on-exec every descriptor opened since Note() (nothing when Note() was not
    // called since the last Mark). Another thread's descriptor opened meanwhile is marked too,
    // which only keeps it from a child that was not handed it explicitly.
    void Mark();
    bool Noted() const { return m_noted; }

  private:
    std::vector<int> m_before;
    bool m_noted = false;
};

// make() with every descriptor it opened marked close-on-exec.
template <class Make>
auto WithNewDescriptorsCloseOnExec(Make&& make) {
    CNewDescriptors descriptors;
    descriptors.Note();
    auto made = make();
    descriptors.Mark();
    return made;
}
