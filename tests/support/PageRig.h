// What every page test builds a page over: the switcher's state, the link
// flags, the switching and preset models, the labels, prompts that fail the
// test on a question it did not expect, and the lines the page sends,
// recorded. A page fixture derives from it and adds its own controls.
#pragma once

#include "tests/support/ScriptedPrompts.h"
#include "ui/common/Page.h"

#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace qvc::test {

using Lines = std::vector<std::string>;

struct PageRig {
    // The context a page is built with; `events` and `exchangeInProgress`
    // as the window would pass them, where the test needs them.
    PageContext Context(LinkEvents* events = nullptr,
                        std::function<bool()> exchangeInProgress = nullptr) {
        return PageContext{state,   link,      [this](const Commands& c) { Record(c); },
                           prompts, labels,    switching,
                           presets, events,    std::move(exchangeInProgress)};
    }

    // Lines sent since the last call.
    Lines Sent() { return std::exchange(sent, {}); }

    // The switcher size and audio flag as a status block reports them.
    void SetModel(int code, int audioPresent = 1) {
        state.status.bytes[14] = static_cast<std::uint8_t>(code);
        state.status.bytes[19] = static_cast<std::uint8_t>(audioPresent);
        state.model.ApplyModelCode(static_cast<std::uint8_t>(code));
        state.statusRead = true;
    }

    // Shows a page or window at the size the window gives its pages.
    static void Show(QWidget& w, int width = 880, int height = 680) {
        w.resize(width, height);
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    }

    DeviceState state;
    LinkState link;
    Switching switching{state};
    Presets presets{state, switching};
    LabelTables labels = DefaultLabels();
    ScriptedPrompts prompts; // any question the test did not script fails it
    Lines sent;
    std::function<void(const Commands&)> onSend; // runs before a batch is recorded

  private:
    void Record(const Commands& lines) {
        if (onSend) {
            onSend(lines);
        }
        for (const Command& command : lines) {
            sent.push_back(command.line);
        }
    }
};

} // namespace qvc::test
