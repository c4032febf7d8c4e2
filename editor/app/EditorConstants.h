#pragma once
// Names, file names, menu texts, shortcuts and bank-file vocabulary shared by
// the editor's views, dialogs, bank files and plug-in database.
//
// Plain character constants so that they can be used anywhere, including in
// other constants' initialisers, without static-initialisation order worries;
// wrap them in QString / QLatin1String at the point of use.

// Application identity ------------------------------------------------------

inline constexpr char EditorName[] = "ZenoA/ZenoB Remote Editor";
inline constexpr char SettingName[] = "ZenoA_ZenoBRemoteEditor";
inline constexpr char SettingOrganisation[] = "Velmor";
// Reverse-domain prefix of the application identifier (PlistCorpName +
// SettingName).
inline constexpr char PlistCorpName[] = "com.velmor.";
inline constexpr char HelpFileName[] = "ZenoA_ZenoB Remote Editor.pdf";
// The host choice that stands for "no supported host".
inline constexpr char OtherDAW[] = "Other";

// Folder below the per-user data folder that holds the plug-in database.
inline constexpr char UserFolderPath[] = "/Velmor/ZenoA_ZenoB Remote Editor";
// Name of the editor's installed data folder (<prefix>/share/<this>).
inline constexpr char InstalledDataFolderName[] = "zeno-remote-editor";

// Bank files ----------------------------------------------------------------

// Used with %1 = 1 and EditorFileExtension: BankPreset1.X5R.
inline constexpr char PresetBankFile[] = "BankPreset%1";
inline constexpr char EditorFileExtension[] = ".X5R";
inline constexpr char EditorFileFilter[] = "X5R Files (*.X5R)";
inline constexpr char EditorOpenFileFilter[] = "X5R Files (*.X5R)";
inline constexpr char EditorFileUserBankPrefix[] = "UserBank";
// Characters allowed in a bank name (a regular expression).
inline constexpr char BankNameValidator[] = "[ !;#$%&'()+,-.0-9=@A-Z[\\]^_`a-z{}]*";
// Appended by trimText to a shortened text (U+FB02).
inline constexpr char16_t TrimLabel = u'\uFB02';

// Fonts installed with the application; the platform substitutes when absent.
inline constexpr char FontEBM8[] = "Velmor EBM 8";
inline constexpr char FontEBM10[] = "Velmor EBM 10";
inline constexpr char FontEBM8Expanded[] = "Velmor EBM8 Expanded";

// Bank file document ----------------------------------------------------------

inline constexpr char DocType[] = "ZenoA_ZenoBRemoteEditorFile";
inline constexpr char TagEditorBank[] = "bank";
inline constexpr char AttributeVersion[] = "version";
inline constexpr char FileVersion[] = "1.0";
inline constexpr double FileVersionNumber = 1.0;
inline constexpr char TagTemplateNumber[] = "template%1";
inline constexpr char TagEditBuffTemplateNumber[] = "editBuffTemplate%1";
inline constexpr char TagBankInfo[] = "bankInfo";
inline constexpr char TagCurrentTemplateNumber[] = "templateNumber";

inline constexpr char TagTemplateName[] = "name";
inline constexpr char TagTemplateVSTiName[] = "vstiname";
inline constexpr char TagTemplateControlType[] = "controltype";

inline constexpr char TagControllerDisplayName[] = "displayname";
inline constexpr char TagControllerCCNumber[] = "ccnumber";
inline constexpr char TagControllerDisplayFormat[] = "displayformat";
inline constexpr char TagControllerRemoteNumber[] = "remotenumber";

// Knob elements, in knob index order 0..11.
inline constexpr const char* TagKnobNames[12] = {
    "knobA1", "knobB1", "knobC1", "knobD1",
    "knobA2", "knobB2", "knobC2", "knobD2",
    "knobA3", "knobB3", "knobC3", "knobD3",
};

// Clipboard and drag documents ------------------------------------------------

inline constexpr char TemplateDocType[] = "ZenoA_ZenoB_RemoteEditorTemplate";
inline constexpr char TagTemplate[] = "template";
inline constexpr char AttributeTemplateNumber[] = "number";
inline constexpr char AttributeBankNumber[] = "banknumber";
inline constexpr char TemplateMimeType[] = "application/x-velmor-zeno-remote-template";

inline constexpr char KnobDocType[] = "ZenoA_ZenoB_RemoteEditorKnob";
inline constexpr char TagController[] = "controller";
inline constexpr char AttributeKnobNumber[] = "number";
inline constexpr char KnobMimeType[] = "application/x-velmor-zeno-remote-knob";

// Menus (texts) and their shortcuts (portable key names; "" = none) ----------

inline constexpr char MenuFileMenu[] = "&File";
inline constexpr char MenuFileNew[] = "&New";
inline constexpr char MenuFileOpen[] = "&Open...";
inline constexpr char MenuFileSave[] = "&Save";
inline constexpr char MenuFileSaveAs[] = "Save &As...";
inline constexpr char MenuFileImportTemplate[] = "&Import Template...";
inline constexpr char MenuFileSetup[] = "Set&up";
inline constexpr char MenuFileVSTiDatabase[] = "&VSTi Database";
inline constexpr char MenuFileVSTiDatabaseFullScan[] = "&Full Scan";
inline constexpr char MenuFileVSTiDatabaseUpdate[] = "&Update";
inline constexpr char MenuEditMenu[] = "&Edit";
inline constexpr char MenuEditCopy[] = "&Copy";
inline constexpr char MenuEditPaste[] = "&Paste";
inline constexpr char MenuEditInitialize[] = "Initialize Template";
inline constexpr char MenuEditResetStored[] = "Reset to Stored Data";
inline constexpr char MenuEditRestoreHW[] = "Reset to Original Data at Startup";
inline constexpr char MenuEditResetFactory[] = "Reset to Factory Settings";
inline constexpr char MenuHelpMenu[] = "&Help";
inline constexpr char MenuHelpManual[] = "&Manual";
inline constexpr char MenuHelpAbout[] = "&About";

inline constexpr char ShortcutFileNew[] = "Ctrl+N";
inline constexpr char ShortcutFileOpen[] = "Ctrl+O";
inline constexpr char ShortcutFileSave[] = "Ctrl+S";
inline constexpr char ShortcutFileSaveAs[] = "";
inline constexpr char ShortcutFileImportTemplate[] = "Ctrl+I";
inline constexpr char ShortcutFileSetup[] = "";
inline constexpr char ShortcutFileVSTiDatabaseFullScan[] = "";
inline constexpr char ShortcutFileVSTiDatabaseUpdate[] = "";
inline constexpr char ShortcutEditCopy[] = "Ctrl+C";
inline constexpr char ShortcutEditPaste[] = "Ctrl+V";
inline constexpr char ShortcutEditInitialize[] = "";
inline constexpr char ShortcutEditResetStored[] = "";
inline constexpr char ShortcutEditRestoreHW[] = "";
inline constexpr char ShortcutEditResetFactory[] = "";
inline constexpr char ShortcutHelpManual[] = "F1";
inline constexpr char ShortcutHelpAbout[] = "";

// Settings keys ----------------------------------------------------------------

inline constexpr char SettingWorkingFolder[] = "WorkingFolder";
inline constexpr char SettingPortName[] = "PortName";
inline constexpr char SettingDAWName[] = "DAWName";
inline constexpr char SettingWindowOnTop[] = "WindowOnTop";
inline constexpr char SettingWindowShrink[] = "WindowShrink";
inline constexpr char SettingWindowX[] = "WindowX";
inline constexpr char SettingWindowY[] = "WindowY";
