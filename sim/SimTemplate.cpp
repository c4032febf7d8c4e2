#include "sim/SimTemplate.h"

namespace sim {

namespace {
int knobBase(int knob)
{
    return kCommonBlockSize + knob * kKnobBlockSize;
}
bool validKnob(int knob)
{
    return knob >= 0 && knob < 12;
}
} // namespace

SimTemplate::SimTemplate()
{
    m_image.fill(0x20);
    m_image[kControlTypeOffset] = 0;
    m_image[kReservedOffset] = 0;
    for (int k = 0; k < 12; ++k) {
        setRemoteNumber(k, kUnassignedRemoteNumber);
        m_image[knobBase(k) + kCcNumberOffset] = 0;
        m_image[knobBase(k) + kDisplayFormatOffset] = 0;
    }
}

int SimTemplate::offsetOf(std::uint8_t mid, std::uint8_t low)
{
    if (mid == 0x00) {
        return low < kCommonBlockSize ? low : -1;
    }
    if (mid >= 0x10 && mid <= 0x1B) {
        return low < kKnobBlockSize ? knobBase(mid - 0x10) + low : -1;
    }
    return -1;
}

int SimTemplate::blockOffset(int block)
{
    if (block == 0) return 0;
    if (block >= 1 && block <= 12) return knobBase(block - 1);
    return -1;
}

int SimTemplate::blockSize(int block)
{
    if (block == 0) return kCommonBlockSize;
    if (block >= 1 && block <= 12) return kKnobBlockSize;
    return 0;
}

std::string SimTemplate::readText(int offset, int width) const
{
    std::string text(reinterpret_cast<const char*>(m_image.data() + offset), width);
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

void SimTemplate::writeText(int offset, int width, const std::string& text)
{
    for (int i = 0; i < width; ++i) {
        std::uint8_t c = i < int(text.size()) ? static_cast<std::uint8_t>(text[i]) : 0x20;
        if (c < 0x20 || c >= 0x7F) {
            c = '?';
        }
        m_image[offset + i] = c;
    }
}

std::string SimTemplate::templateName() const { return readText(0, kTemplateNameWidth); }
std::string SimTemplate::vstiName() const { return readText(kVstiNameOffset, kVstiNameWidth); }
int SimTemplate::controlType() const { return m_image[kControlTypeOffset]; }

std::string SimTemplate::remoteNumber(int knob) const
{
    return validKnob(knob) ? readText(knobBase(knob), kRemoteNumberWidth) : std::string();
}
std::string SimTemplate::displayName(int knob) const
{
    return validKnob(knob) ? readText(knobBase(knob) + kDisplayNameOffset, kDisplayNameWidth) : std::string();
}
int SimTemplate::ccNumber(int knob) const
{
    return validKnob(knob) ? m_image[knobBase(knob) + kCcNumberOffset] : 0;
}
int SimTemplate::displayFormat(int knob) const
{
    return validKnob(knob) ? m_image[knobBase(knob) + kDisplayFormatOffset] : 0;
}

void SimTemplate::setTemplateName(const std::string& name) { writeText(0, kTemplateNameWidth, name); }
void SimTemplate::setVstiName(const std::string& name) { writeText(kVstiNameOffset, kVstiNameWidth, name); }

bool SimTemplate::setControlType(int value)
{
    if (value < 0 || value > 1) return false;
    m_image[kControlTypeOffset] = static_cast<std::uint8_t>(value);
    return true;
}

void SimTemplate::setRemoteNumber(int knob, const std::string& id)
{
    if (validKnob(knob)) writeText(knobBase(knob), kRemoteNumberWidth, id);
}

void SimTemplate::setDisplayName(int knob, const std::string& name)
{
    if (validKnob(knob)) writeText(knobBase(knob) + kDisplayNameOffset, kDisplayNameWidth, name);
}

bool SimTemplate::setCcNumber(int knob, int value)
{
    if (!validKnob(knob) || value < 0 || value > 127) return false;
    m_image[knobBase(knob) + kCcNumberOffset] = static_cast<std::uint8_t>(value);
    return true;
}

bool SimTemplate::setDisplayFormat(int knob, int value)
{
    if (!validKnob(knob) || value < 0 || value > 1) return false;
    m_image[knobBase(knob) + kDisplayFormatOffset] = static_cast<std::uint8_t>(value);
    return true;
}

} // namespace sim
