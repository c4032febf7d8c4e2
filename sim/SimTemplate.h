#pragma once
// One template as the keyboard holds it: the byte image of its bulk blocks,
// the 27-byte template-common block followed by twelve 26-byte knob blocks.
// Parameter changes and bulk dumps both write straight into this image, the
// way the keyboard's own memory works, so the simulator needs no second
// representation that could drift from the wire format.

#include <array>
#include <cstdint>
#include <string>

namespace sim {

constexpr int kCommonBlockSize = 27;
constexpr int kKnobBlockSize = 26;
constexpr int kTemplateImageSize = kCommonBlockSize + 12 * kKnobBlockSize;

// Field widths and offsets inside the blocks.
constexpr int kTemplateNameWidth = 13;
constexpr int kVstiNameOffset = 13;
constexpr int kVstiNameWidth = 12;
constexpr int kControlTypeOffset = 25;
constexpr int kReservedOffset = 26;
constexpr int kRemoteNumberWidth = 9;
constexpr int kDisplayNameOffset = 9;
constexpr int kDisplayNameWidth = 15;
constexpr int kCcNumberOffset = 24;
constexpr int kDisplayFormatOffset = 25;

inline constexpr const char* kUnassignedRemoteNumber = "204143dff";

class SimTemplate {
public:
    SimTemplate(); // blank names, unassigned knobs, CC 0

    using Image = std::array<std::uint8_t, kTemplateImageSize>;
    const Image& image() const { return m_image; }
    Image& image() { return m_image; }

    // Offset in the image of a parameter address (mid, low); -1 when the
    // address is not part of a template.
    static int offsetOf(std::uint8_t mid, std::uint8_t low);
    // Offset of a block's first byte: block 0 is the common block, 1..12 the
    // knobs; -1 for another number.
    static int blockOffset(int block);
    static int blockSize(int block);

    // Texts are Latin-1 bytes without the blank padding; setters pad, cut to
    // the width and replace bytes that cannot travel over MIDI (0x80 and up,
    // control characters) by '?'.
    std::string templateName() const;
    std::string vstiName() const;
    int controlType() const;
    std::string remoteNumber(int knob) const;
    std::string displayName(int knob) const;
    int ccNumber(int knob) const;
    int displayFormat(int knob) const;

    void setTemplateName(const std::string& name);
    void setVstiName(const std::string& name);
    bool setControlType(int value);
    void setRemoteNumber(int knob, const std::string& id);
    void setDisplayName(int knob, const std::string& name);
    bool setCcNumber(int knob, int value);
    bool setDisplayFormat(int knob, int value);

    bool operator==(const SimTemplate& other) const { return m_image == other.m_image; }

private:
    std::string readText(int offset, int width) const;
    void writeText(int offset, int width, const std::string& text);

    Image m_image{};
};

} // namespace sim
