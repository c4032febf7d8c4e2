#pragma once
// The four-part address of every editable value: bank, template, controller
// (knob) and parameter (knob field). -1 in a component means "none".
// Negative banks and template/controller codes above the plain index ranges
// name the editor-wide, bank-level and template-level values.

#include <QString>
#include <QStringList>

class AddressTransTable;

class ParamAddress {
public:
    // Component codes.
    static constexpr int None = -1;
    static constexpr int BankOnline = -2;
    static constexpr int BankFileEditFlag = -3;
    static constexpr int BankFileName = -4;
    static constexpr int BankLibraryEditFlag = -5;
    static constexpr int BankBankEditFlag = -6;
    static constexpr int TemplateBankName = 50;
    static constexpr int TemplateBankAvailableFlag = 51;
    static constexpr int TemplateCurrentTemplateNumber = 52;
    static constexpr int ControllerTemplateName = 13;
    static constexpr int ControllerControlType = 14;
    static constexpr int ControllerVSTiName = 15;
    static constexpr int ControllerCommonReserved = 16;
    static constexpr int ParamDisplayName = 0;
    static constexpr int ParamCCNumber = 1;
    static constexpr int ParamDisplayFormat = 2;
    static constexpr int ParamRemoteTagID = 3;
    static constexpr int TemplateCount = 50;
    static constexpr int ControllerCount = 12;

    ParamAddress() = default;
    explicit ParamAddress(AddressTransTable* table);
    // Each argument that is not -1 is stored; no table.
    ParamAddress(int bank, int templ, int controller, int parameter);

    void setAddressTransTable(AddressTransTable* table) { m_table = table; }
    AddressTransTable* getAddressTransTable() const { return m_table; }
    // All four components back to -1; the table stays.
    void initParamAddress();

    // In every form a numeric argument of -1 keeps the component's value.
    void setParamAddress(int bank, int templ, int controller, int parameter);
    // Path form: "knobA1/ccNumber" sets controller from the first word and
    // parameter from the last.
    void setParamAddress(int bank, int templ, const char* path, int parameter);
    void setParamAddress(int bank, int templ, const QString& path, int parameter);
    // Single-name form: "ccNumber", "templateName", "isOnline", ...
    void setParamAddress(int bank, int templ, int controller, const char* name);
    void setParamAddress(int bank, int templ, int controller, const QString& name);

    // The table's number for the name; -1 when unknown or without a table.
    int String2ParamAdr(const char* name) const;
    int String2ParamAdr(const QString& name) const;
    static QStringList splitNamedAdr(const char* path);
    static QStringList splitNamedAdr(const QString& path);

    // 0 bank, 1 template, 2 controller, 3 parameter; other indices -1.
    int getParamAddress(int index) const;
    int bank() const { return m_bank; }
    int templ() const { return m_template; }
    int controller() const { return m_controller; }
    int parameter() const { return m_parameter; }

    bool operator==(const ParamAddress& other) const
    {
        return m_bank == other.m_bank && m_template == other.m_template
            && m_controller == other.m_controller && m_parameter == other.m_parameter;
    }
    bool operator!=(const ParamAddress& other) const { return !(*this == other); }
    bool isThisBank(int bank) const { return m_bank == bank; }
    bool isThisTemplate(int templ) const { return m_template == templ; }
    bool isThisController(int controller) const { return m_controller == controller; }

    // "ParamAddress is (b, t, c, p)" on the debug channel.
    void PrintParamAddress() const;
    QString toString() const;

    bool isBankParam() const { return m_bank >= 0; }
    bool isStoredBankParamAdr() const { return m_bank == 0; }
    bool isEditBufferOrStoredBankParam() const { return isEditBufferOrStoredBankParam(m_bank); }
    static bool isEditBufferOrStoredBankParam(int bank) { return bank == 0 || bank == 1; }
    bool isOnlineStateAdr() const { return m_bank == BankOnline; }
    bool isFileEditFlagAdr() const { return m_bank == BankFileEditFlag; }
    bool isFileNameAdr() const { return m_bank == BankFileName; }
    bool isLibraryEditFlagAdr() const { return m_bank == BankLibraryEditFlag; }
    bool isBankEditFlagAdr() const { return m_bank == BankBankEditFlag; }
    bool isBankParamAdr() const { return unsigned(m_template) < unsigned(TemplateCount); }
    bool isBankAvailFlagAdr() const { return m_template == TemplateBankAvailableFlag; }
    bool isCurrentTemplateNumAdr() const { return m_template == TemplateCurrentTemplateNumber; }
    bool isControllerAdr() const { return unsigned(m_controller) < unsigned(ControllerCount); }
    bool isTemplateNameAdr() const { return m_controller == ControllerTemplateName; }
    bool isControlTypeAdr() const { return m_controller == ControllerControlType; }
    bool isVSTiNameAdr() const { return m_controller == ControllerVSTiName; }
    bool isDisplayNameAdr() const { return m_parameter == ParamDisplayName; }
    bool isCCNumAdr() const { return m_parameter == ParamCCNumber; }
    bool isDispFormAdr() const { return m_parameter == ParamDisplayFormat; }
    bool isRemoteTagIDAdr() const { return m_parameter == ParamRemoteTagID; }
    // The kinds of values carried by keyboard messages.
    bool isStringParamAdr() const;
    bool isNumericParamAdr() const;
    // Values never sent to the keyboard.
    bool isParamUsedInOnlyEditor() const;

private:
    void applyPath(const QStringList& parts);
    void applyName(const QString& name);

    int m_bank = None;
    int m_template = None;
    int m_controller = None;
    int m_parameter = None;
    AddressTransTable* m_table = nullptr;
};
