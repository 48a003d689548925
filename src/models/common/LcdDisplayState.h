// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringView>

#include <span>
#include <vector>

// Fixed description of one element of an emulated LCD panel.
struct LcdElementInfo
{
    const char *name; // the element's name on the panel, e.g. "LabelA"
    bool hasText; // labels carry a text; pictures do not
    const char16_t *startText; // text before the first frame (nullptr for pictures)
    bool startVisible; // visibility before the first frame
};

// A panel's element list is one X-macro, X(name, text, visible, blanked) per
// element (text nullptr for a picture; visible before the first frame; hidden
// by the blanking). These expand it into the panel's enum, element count,
// element table and blank set, so they cannot drift apart:
//   enum class Km90Element { KM90_ELEMENTS(LCD_ELEMENT_ENUMERATOR) };
#define LCD_ELEMENT_ENUMERATOR(name, text, visible, blanked) name,
#define LCD_ELEMENT_COUNT(name, text, visible, blanked) +1
#define LCD_ELEMENT_INFO(name, text, visible, blanked)                                             \
    LcdElementInfo { #name, (text) != nullptr, text, visible },
#define LCD_ELEMENT_BLANKED(name, text, visible, blanked) blanked,

// Visibility and text of every element of one emulated LCD, independent of any
// window. The decoders write it; the panels render it. Elements are addressed
// by their index in the panel's element table (each panel wraps this with its
// own enum).
class LcdDisplayState
{
public:
    explicit LcdDisplayState(std::span<const LcdElementInfo> elements);

    int count() const { return int(m_elements.size()); }
    const LcdElementInfo &info(int index) const { return m_elements[size_t(index)]; }
    QString name(int index) const { return QString::fromLatin1(info(index).name); }
    // Index of the element with this exact name, or -1.
    int indexOf(QStringView name) const;

    bool isVisible(int index) const { return m_visible[size_t(index)] != 0; }
    void setVisible(int index, bool visible) { m_visible[size_t(index)] = visible ? 1 : 0; }
    const QString &text(int index) const { return m_text[size_t(index)]; }
    void setText(int index, const QString &text)
    {
        // A decoder sets most texts to what they are already (often the very
        // same string); that costs no assignment. A null and an empty text
        // can share their characters, so nullness is compared too.
        QString &held = m_text[size_t(index)];
        if (held.constData() != text.constData() || held.size() != text.size()
            || held.isNull() != text.isNull())
            held = text;
    }

    // Back to the look before the first frame.
    void reset();

    // Hides every element marked in marked (one flag per element, in element
    // order) and leaves the others and every text as they are.
    void hideMarked(std::span<const bool> marked);

    // Element indexes sorted by name in byte order (for stable listings).
    std::vector<int> indexesByName() const;

private:
    std::span<const LcdElementInfo> m_elements;
    std::vector<unsigned char> m_visible;
    std::vector<QString> m_text;
};

// Typed access for one panel's element enum.
template<typename ElementEnum>
class LcdDisplay : public LcdDisplayState
{
public:
    using Element = ElementEnum;

    using LcdDisplayState::isVisible;
    using LcdDisplayState::LcdDisplayState;
    using LcdDisplayState::setText;
    using LcdDisplayState::setVisible;
    using LcdDisplayState::text;

    bool isVisible(Element e) const { return isVisible(int(e)); }
    void show(Element e) { setVisible(int(e), true); }
    void hide(Element e) { setVisible(int(e), false); }
    void setVisible(Element e, bool visible) { setVisible(int(e), visible); }
    const QString &text(Element e) const { return text(int(e)); }
    void setText(Element e, const QString &t) { setText(int(e), t); }
};
