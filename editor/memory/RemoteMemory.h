#pragma once
// The root of the template memory: every bank and the editor-wide values.
// It knows nothing of locking, observers or the keyboard; RemoteMemAPI adds
// those.
//
// Bank roles: 0 current, 1 editor backup, 2 keyboard stored templates,
// 3 keyboard edit buffers, 4 import, 5 library, 6 and 7 save area, 8 preset.

#include "editor/memory/BankData.h"
#include "editor/memory/ControlTemplateData.h"
#include "editor/memory/NumericParameter.h"
#include "editor/memory/ParamAddress.h"

#include <QString>
#include <memory>
#include <vector>

class RemoteMemory {
public:
    static constexpr int CurrentBank = 0;
    static constexpr int EditorBackupBank = 1;
    static constexpr int StoredTemplatesBank = 2;
    static constexpr int EditBufferBank = 3;
    static constexpr int ImportBank = 4;
    static constexpr int LibraryBank = 5;
    static constexpr int SaveAreaBank = 6;
    static constexpr int SaveAreaEditBank = 7;
    static constexpr int PresetBank = 8;
    static constexpr int InitialBankCount = 6;
    static constexpr int FullBankCount = 9;

    RemoteMemory();
    ~RemoteMemory();
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    // Appends an available bank; its index.
    int createBank();
    int getQuantityOfBank() const { return int(m_banks.size()); }
    bool isValidBankIndex(int i) const { return i >= 0 && i < getQuantityOfBank(); }
    static bool isValidTemplateIndex(int i) { return BankData::isValidTemplateIndex(i); }
    static bool isValidControllerIndex(int i) { return ControlTemplateData::isValidControllerIndex(i); }

    // The bank in place; null for an invalid index.
    BankData* getBank(int i);
    const BankData* getBank(int i) const;
    // Copies the whole bank into bank i, which then counts as available.
    bool setBank(const BankData& bank, int i);
    bool copyBank(int src, int dst);
    // Each compares first: false when invalid or when nothing would change.
    bool copyTemplate(int srcBank, int srcTemplate, int dstBank, int dstTemplate);
    bool exchangeTemplate(int bankA, int templateA, int bankB, int templateB);
    bool exchangeController(int bankA, int templateA, int knobA, int bankB, int templateB, int knobB);

    // A copy; a default template when an index is invalid.
    ControlTemplateData getTemplateData(int bank, int templ) const;
    // Template 49 of the preset bank with empty names and control type 0.
    void initializeInitialTemplate();
    ControlTemplateData getInitialTemplate() const { return m_initialTemplate; }
    // The initial template as it would be built from the current preset bank.
    ControlTemplateData makeInitialTemplate() const;
    bool initializeTemplate(int bank, int templ);

    bool setBankAvailableFlag(int flag, int bank);
    int getBankAvailableFlag(int bank) const;

    // True when the value changed.
    bool setParam(const ParamAddress& address, long value);
    bool setParam(const ParamAddress& address, const QString& text);
    NumericParameter getParam(const ParamAddress& address) const;
    QString getParamQString(const ParamAddress& address) const;

    bool isONLINE() const { return m_online.getCurrentValue() == 1; }
    bool setONLINEstate(long state);
    void setFlagOfIsAllowedToSendSysEx(bool allowed) { m_allowedToSendSysEx = allowed; }
    bool isAllowedToSendSysEx() const { return m_allowedToSendSysEx; }

private:
    NumericParameter m_fileEditFlag;
    NumericParameter m_libraryEditFlag;
    NumericParameter m_bankEditFlag;
    ControlTemplateData m_initialTemplate;
    std::vector<std::unique_ptr<BankData>> m_banks;
    QString m_fileName;
    NumericParameter m_online;
    bool m_allowedToSendSysEx = true;
};
