#pragma once

// The two roles the VST 3 reader is built from: a test that examines one
// plug-in class, and the result sink that doubles as the host context handed
// to every plug-in. Both are reference-counted interfaces of our own.

#include "vif/vstapi/Vst3.h"

class ITestResult : public vstapi::vst3::FUnknown {
public:
  virtual void addErrorMessage(const char16_t* message) = 0;
  virtual void addMessage(const char16_t* message) = 0;
  static constexpr vstapi::vst3::FUID iid =
      vstapi::vst3::FUID::Make(0x5A8E3C21, 0x7B0F4D12, 0x9E64A1C3, 0x2F7B8D55);
};

class ITest : public vstapi::vst3::FUnknown {
public:
  virtual bool setup() = 0;
  virtual bool run(ITestResult* result) = 0;
  virtual bool teardown() = 0;
  virtual const char16_t* getDescription() { return u""; }
  virtual ~ITest() = default;
  static constexpr vstapi::vst3::FUID iid =
      vstapi::vst3::FUID::Make(0x1C4D7E90, 0x3A6B4F28, 0x8D15B6E4, 0x07C9A3F1);
};
