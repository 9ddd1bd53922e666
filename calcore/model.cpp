#include "model.h"

#include <map>
#include <set>
#include <string_view>

namespace calcore {

namespace {

const char* kindName(ControlKind kind) {
    switch (kind) {
    case ControlKind::Label:
        return "a label";
    case ControlKind::Button:
        return "a button";
    case ControlKind::Entry:
        return "an entry box";
    case ControlKind::CheckBox:
        return "a check box";
    case ControlKind::Frame:
        return "a frame";
    }
    return "a control";
}

class Checker {
  public:
    Checker(std::string_view window, std::span<const ControlDef> controls) : window_(window) {
        for (const auto& c : controls) {
            if (!c.name || !*c.name) {
                fault("a control without a name");
                continue;
            }
            if (!kinds_.emplace(c.name, c.kind).second)
                fault(std::string("\"") + c.name + "\" twice");
        }
        for (const auto& c : controls) {
            if (c.parent) need(c.parent, ControlKind::Frame, c.name);
        }
    }

    void need(const char* name, ControlKind kind, std::string_view usedBy) {
        if (!name) {
            fault("no control named for " + std::string(usedBy));
            return;
        }
        const auto it = kinds_.find(name);
        if (it == kinds_.end()) {
            fault(std::string("\"") + name + "\" (" + std::string(usedBy) + ") does not exist");
        } else if (it->second != kind) {
            fault(std::string("\"") + name + "\" (" + std::string(usedBy) + ") is " +
                  kindName(it->second) + ", not " + kindName(kind));
        }
    }

    void reads(std::span<const WordRead> list, std::string_view usedBy) {
        for (const auto& r : list) {
            if (r.label) need(r.label, ControlKind::Label, usedBy);
        }
    }

    void fault(const std::string& text) { faults.push_back(std::string(window_) + ": " + text); }

    std::vector<std::string> faults;

  private:
    std::string_view window_;
    std::map<std::string, ControlKind, std::less<>> kinds_;
};

} // namespace

std::vector<std::string> checkModel(const Model& model) {
    Checker main(model.caption ? model.caption : "Form1", model.controls);
    main.reads(model.refreshReads, "parameter read");
    main.reads(model.liveReads, "live read");
    for (const auto& r : model.requests) {
        main.need(r.button, ControlKind::Button, "request " + std::to_string(r.code));
        main.need(r.entry, ControlKind::Entry, "request " + std::to_string(r.code));
    }
    for (const auto& f : model.flags)
        main.need(f.box, ControlKind::CheckBox, "flag " + std::to_string(f.code));
    for (const auto& c : model.clockEntries) {
        main.need(c.entry, ControlKind::Entry, "clock " + std::to_string(c.code));
        if (c.code < 66 || c.code > 69)
            main.fault("clock code " + std::to_string(c.code) + " is not one of 66..69");
    }
    for (const auto& f : model.fetches) {
        main.need(f.button, ControlKind::Button, "fetch");
        main.reads(f.reads, "fetch read");
    }
    auto faults = std::move(main.faults);
    if (const ExitQuestion* q = model.exitQuestion) {
        Checker question(q->caption ? q->caption : "question", q->controls);
        question.need(q->yesButton, ControlKind::Button, "yes");
        question.need(q->noButton, ControlKind::Button, "no");
        faults.insert(faults.end(), question.faults.begin(), question.faults.end());
    }
    return faults;
}

} // namespace calcore
