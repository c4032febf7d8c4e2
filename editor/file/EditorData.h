#pragma once
// Memory <-> XML elements for bank files and for the clipboard / drag forms of
// a template and a knob, plus the two spellings of remote numbers used by the
// plug-in database.
//
// Every value goes through the memory API by address, so a value read from a
// file passes the same checks as one typed by the user, and observers see it.
#include <QByteArray>
#include <QDomDocument>
#include <QDomElement>
#include <QString>

class ParamAddress;
class RemoteMemAPI;

class EditorData {
public:
    // ---- Memory -> elements ------------------------------------------------
    // The bank element (tag "bank" when tag is empty) holding template1..50
    // from bank; withEditBuffer adds editBuffTemplate1..50 from bank 0 and
    // bankInfo/templateNumber (bank 0's current template number).
    static QDomElement getBankDomElement(RemoteMemAPI* api, QDomDocument& doc, int bank,
                                         const QString& tag, bool withEditBuffer);
    // One template element (tag "template" when tag is empty).
    static QDomElement getTemplateDomElement(RemoteMemAPI* api, QDomDocument& doc, int bank,
                                             int templ, const QString& tag);
    // One knob element (tag "controller" when tag is empty).
    static QDomElement getControllerDomElement(RemoteMemAPI* api, QDomDocument& doc, int bank,
                                               int templ, int knob, const QString& tag);

    // ---- Elements -> memory ------------------------------------------------
    // Each writes what it finds and returns true only when every expected
    // element was present. A non-empty tag must equal the element's tag.
    // Templates are read only when docType is DocType (otherwise nothing is
    // read and the result is true).
    static bool setBankDomElement(RemoteMemAPI* api, const QDomElement& element, int bank,
                                  const QString& docType, bool editBuffer, const QString& tag);
    static bool setTemplateDomElement(RemoteMemAPI* api, const QDomElement& element, int bank,
                                      int templ, const QString& docType, const QString& tag);
    static bool setControllerDomElement(RemoteMemAPI* api, const QDomElement& element, int bank,
                                        int templ, int knob, const QString& docType,
                                        const QString& tag);

    // ---- One value ------------------------------------------------------------
    static void getStringParamToDomElement(RemoteMemAPI* api, QDomDocument& doc, QDomElement& parent,
                                           const QString& tag, const ParamAddress& address);
    static void getNumericParamToDomElement(RemoteMemAPI* api, QDomDocument& doc, QDomElement& parent,
                                            const QString& tag, const ParamAddress& address);
    // False only when the child element is missing; a value that memory
    // refuses still counts as present.
    static bool setStringParamFromDomElement(RemoteMemAPI* api, const QDomElement& parent,
                                             const QString& tag, const ParamAddress& address);
    static bool setNumericParamFromDomElement(RemoteMemAPI* api, const QDomElement& parent,
                                              const QString& tag, const ParamAddress& address);

    // ---- Clipboard and drag documents ------------------------------------------
    // A template of bank (the library banks 4 or 5) with its number and bank.
    static QDomDocument getTemplateDocument(RemoteMemAPI* api, int bank, int templ);
    // A knob of bank 0 at the given template.
    static QDomDocument getKnobDocument(RemoteMemAPI* api, int templ, int knob);
    // The serialised forms placed under TemplateMimeType / KnobMimeType.
    static QByteArray getTemplateMimeData(RemoteMemAPI* api, int bank, int templ);
    static QByteArray getKnobMimeData(RemoteMemAPI* api, int templ, int knob);

    // Attributes of a pasted root: -1 when missing or unreadable; the knob
    // number also -1 outside 0..11; template and bank numbers as they are.
    static int getTemplateNumberAttribute(const QDomElement& root);
    static int getBankNumberAttribute(const QDomElement& root);
    static int getKnobNumberAttribute(const QDomElement& root);

    // Pastes a template document into (bank, templ) / a knob document into
    // bank 0 at (templ, knob). The document type is not checked. False when
    // the data is not XML or an expected element is missing (what was present
    // is written). The source numbers are returned when asked for.
    static bool pasteTemplateMimeData(RemoteMemAPI* api, const QByteArray& data, int bank, int templ,
                                      int* sourceTemplate = nullptr, int* sourceBank = nullptr);
    static bool pasteKnobMimeData(RemoteMemAPI* api, const QByteArray& data, int templ, int knob,
                                  int* sourceKnob = nullptr);

    // ---- Parsing ------------------------------------------------------------------
    // Parses XML with namespace processing into doc. On failure gives the
    // parser's text and line. Documents nested deeper than any bank, template
    // or knob document are refused before the tree is built: a hostile file
    // must not exhaust the editor's stack or time.
    static constexpr int MaxElementDepth = 16;
    static bool parseDocument(const QByteArray& data, QDomDocument* doc, QString* errorText = nullptr,
                              int* errorLine = nullptr);

    // ---- Remote numbers ----------------------------------------------------------
    // S form: type digit + 8 lower-case hex digits ("100000401").
    // Pell form: type digit + 10 decimal digits ("10000001025").
    // A number that cannot be read (not digits, or above 32 bits) counts as 0.
    static QString translatePellremoteparam2Sremoteparam(const QString& pell);
    static QString translateSremoteparam2Pellremoteparam(const QString& s);
    static quint32 getRemoteParamContentsFromSRemoteStringParam(const QString& s);
    static int getRemoteParamTypeFromSRemoteStringParam(const QString& s);
};
