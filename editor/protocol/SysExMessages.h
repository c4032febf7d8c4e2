#pragma once
// Byte layouts of the keyboard's System Exclusive messages.
//
// Messages are handled without their leading F0, exactly as the MIDI layer
// delivers them: index 0 is the manufacturer ID 0x43, index 1 the command
// byte, 2 and 3 the model ID, and the last byte is F7. Every recogniser takes
// the message length and never reads beyond it.

#include <cstddef>
#include <vector>

#include <QString>

namespace SysExMsg {

using Bytes = std::vector<unsigned char>;

constexpr unsigned char kStatus = 0xF0;
constexpr unsigned char kEnd = 0xF7;
constexpr unsigned char kManufacturer = 0x43;

// High nibble of the command byte.
constexpr unsigned char kCmdBulkDump = 0x00;
constexpr unsigned char kCmdParamChange = 0x10;
constexpr unsigned char kCmdBulkRequest = 0x20;
constexpr unsigned char kCmdParamRequest = 0x30;
constexpr unsigned char kCmdBulkAck = 0x60;

// Address high bytes.
constexpr unsigned char kAddrParam = 0x01;
constexpr unsigned char kAddrBulkHeader = 0x0E;
constexpr unsigned char kAddrBulkFooter = 0x0F;
constexpr unsigned char kAddrStoreToFlash = 0x11;

// Address mid bytes.
constexpr unsigned char kMidCommon = 0x00;
constexpr unsigned char kMidKnobBase = 0x10;
constexpr unsigned char kMidCurrentTemplate = 0x20;
constexpr unsigned char kMidStore = 0x22;
constexpr unsigned char kMidBankEditFlag = 0x23;
constexpr unsigned char kMidNormalBulk = 0x60;
constexpr unsigned char kMidEditBufferBulk = 0x6F;

constexpr int kTemplateCount = 50;
constexpr int kKnobCount = 12;
constexpr int kCommonBlockDataBytes = 27;
constexpr int kKnobBlockDataBytes = 26;

// Offsets within a message without its F0.
constexpr std::size_t kOffCommand = 1;
constexpr std::size_t kOffModel = 2;
constexpr std::size_t kOffByteCountHigh = 4; // bulk dump
constexpr std::size_t kOffBulkAH = 6;
constexpr std::size_t kOffBulkAM = 7;
constexpr std::size_t kOffBulkAL = 8;
constexpr std::size_t kOffBulkData = 9;
constexpr std::size_t kOffParamMid = 5; // parameter change
constexpr std::size_t kOffParamLow = 6;
constexpr std::size_t kOffParamData = 7;

// Shortest bulk dump: 43 0n m1 m2 bh bl AH AM AL cs F7.
constexpr std::size_t kMinBulkLength = 11;
// Shortest parameter change: 43 1n m1 m2 01 mm ll F7 (the store message).
constexpr std::size_t kMinParamChangeLength = 8;

// The byte a character of a name travels as. Characters without a 7-bit code
// cannot go out as they are: any byte of 0x80 or more would end the message
// on the wire. An accented Latin letter travels as its base letter (é as e),
// anything else as "?". One character always gives exactly one byte.
unsigned char sevenBitChar(char32_t codePoint);
// The text as exactly `width` bytes: cut at the width, padded with spaces.
Bytes paddedText(const QString& text, int width);
void appendPaddedText(Bytes& out, const QString& text, int width);

// --- builders (each gives a complete message from 0x43 to F7) ---
Bytes paramChange(const unsigned char* model, unsigned char mid, unsigned char low,
                  const unsigned char* values, int count);
Bytes paramRequest(const unsigned char* model, unsigned char mid, unsigned char low);
Bytes bulkRequest(const unsigned char* model, unsigned char kindMid, int templateNumber);
Bytes bulkDump(const unsigned char* model, unsigned char ah, unsigned char am, unsigned char al,
               const unsigned char* data, int count);
Bytes storeMessage(const unsigned char* model);
// A bulk dump built in place: begin with the address, append the data
// bytes, then finish (byte count, checksum and F7).
Bytes bulkDumpBegin(const unsigned char* model, unsigned char ah, unsigned char am, unsigned char al,
                    std::size_t dataReserve);
void bulkDumpFinish(Bytes& message);
Bytes storeToFlash(const unsigned char* model);

// Byte count of a bulk dump under construction (from 0x43 up to its last
// data byte): size - 9, split into two 7-bit halves.
void byteCount(const Bytes& message, unsigned char* high, unsigned char* low);
// Checksum over index 4 (bh) to the end of a message under construction.
unsigned char checksum(const Bytes& message);

// --- recognisers ---
bool isVelmorSysEx(const unsigned char* m, std::size_t n);
bool isDesiredModelSysEx(const unsigned char* m, std::size_t n, const unsigned char* model);
bool isBulkDump(const unsigned char* m, std::size_t n);
bool isParameterChange(const unsigned char* m, std::size_t n);
bool isBulkAcknowledge(const unsigned char* m, std::size_t n);
bool isBulkHeader(const unsigned char* m, std::size_t n);
bool isNormalBulkHeader(const unsigned char* m, std::size_t n);
bool isEditBuffBulkHeader(const unsigned char* m, std::size_t n);
bool isBulkFooter(const unsigned char* m, std::size_t n);
bool isBulkContents(const unsigned char* m, std::size_t n);
bool isBulkContentsCommon(const unsigned char* m, std::size_t n);
// Also yields AM & 0x0F as the knob when knob is given.
bool isBulkContentsController(const unsigned char* m, std::size_t n, int* knob = nullptr);
// AL, or -1 when the message is too short to have one.
int getTemplateNumberFromBulk(const unsigned char* m, std::size_t n);
bool isBulkChecksumCorrect(const unsigned char* m, std::size_t n);

} // namespace SysExMsg
