#pragma once

#include <string>

namespace zevra {

struct ProgressDescription {
    std::string title;
    std::string text;
};

// A window showing how far a long task has come, with a Cancel button; it closes when this
// goes. Main thread only.
class ProgressWindow {
public:
    virtual ~ProgressWindow() = default;
    // From 0 to 1; negative while the total is unknown.
    virtual void setProgress(double fraction) = 0;
};

// What a backend without a display shows: nothing.
class HiddenProgressWindow final : public ProgressWindow {
public:
    void setProgress(double /*fraction*/) override {}
};

} // namespace zevra
