// Texts a part of a window exchanges with the screen: what each control
// should show and what it was last sent, so that a transfer sends only what
// changed. Fixed buffers: setting and sending allocate nothing.
#pragma once

#include "support/TextFunctions.h"
#include "ui/DialogView.h"

#include <cstdint>
#include <cstring>

template <int Count> class ScreenTexts {
public:
    static constexpr int kTextLength = 1024;

    // The control that text `index` belongs to.
    void Bind(int index, std::int32_t id) { m_texts[index].id = id; }

    void Set(int index, const char* text)
    {
        CopyBounded(m_texts[index].text, text != nullptr ? text : "", kTextLength);
    }
    const char* Get(int index) const { return m_texts[index].text; }

    // Every text whose control does not show it yet; all of them the first time.
    void Send(DialogView& view)
    {
        for (Text& member : m_texts) {
            if (member.everSent && std::strcmp(member.text, member.sent) == 0) {
                continue;
            }
            std::memcpy(member.sent, member.text, kTextLength);
            member.everSent = true;
            view.SetControlText(member.id, member.text);
        }
    }

private:
    struct Text {
        std::int32_t id = 0;
        char text[kTextLength] = {};
        char sent[kTextLength] = {};
        bool everSent = false;
    };
    Text m_texts[Count];
};
