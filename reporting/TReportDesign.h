#pragma once
// TReportDesign (unit Rptdsgn): a tabular report over a record set. Which fields become
// columns and in which order, title, sub-title, date line, page numbers, the divider
// under the headings, four fonts, paper size and orientation. Execute lays the records
// out, page by page, into the commands of a page document: the preview window
// (TFormGenWin) or a document with no window. Design opens the report designer on it;
// it belongs to the windows and is defined with the designer (TfrmReportDesigner), so a
// program that only builds reports links no window.

#include "reporting/TFont.h"

#include <QObject>
#include <QStringList>

class TField;
class TPageDocument;
class TQuery;

enum TDividerStyle { dvsNone = 0, dvsSolid = 1, dvsDash = 2 };
enum TPageNumStyle { pnsNone = 0, pnsBottomCenter = 1, pnsUpperRight = 2 };
enum TDatePosition { dpNone = 0, dpLeft = 1, dpCenter = 2, dpRight = 3 };

// The horizontal part of a field's alignment: left, centre or right.
Qt::Alignment horizontalAlignment(Qt::Alignment a);

class TReportDesign : public QObject {
    Q_OBJECT
public:
    // The column width table holds this many columns; longer field lists are cut.
    static constexpr int maxColumns = 21;

    explicit TReportDesign(QObject* owner = nullptr);

    TQuery* dataSet() const { return m_dataSet; }
    void setDataSet(TQuery* dataSet) { m_dataSet = dataSet; }
    const TFont& bodyFont() const { return m_bodyFont; }
    void setBodyFont(const TFont& font) { m_bodyFont = font; }
    const TFont& headingFont() const { return m_headingFont; }
    void setHeadingFont(const TFont& font) { m_headingFont = font; }
    QString title() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }
    const TFont& titleFont() const { return m_titleFont; }
    void setTitleFont(const TFont& font) { m_titleFont = font; }
    bool titleCentered() const { return m_titleCentered; }
    void setTitleCentered(bool on) { m_titleCentered = on; }
    QString subTitle() const { return m_subTitle; }
    void setSubTitle(const QString& text) { m_subTitle = text; }
    const TFont& subTitleFont() const { return m_subTitleFont; }
    void setSubTitleFont(const TFont& font) { m_subTitleFont = font; }
    bool portrait() const { return m_portrait; }
    void setPortrait(bool on) { m_portrait = on; }
    TDividerStyle dividerStyle() const { return m_dividerStyle; }
    void setDividerStyle(TDividerStyle style) { m_dividerStyle = style; }
    QStringList fields() const { return m_fields; }
    // Keeps at most maxColumns names, and none of a column that holds passwords.
    void setFields(const QStringList& names);
    TPageDocument* formComponent() const { return m_formComponent; }
    void setFormComponent(TPageDocument* pages) { m_formComponent = pages; }
    TPageNumStyle pageNumLocation() const { return m_pageNumLocation; }
    void setPageNumLocation(TPageNumStyle location) { m_pageNumLocation = location; }
    QString pageNumLabel() const { return m_pageNumLabel; }
    void setPageNumLabel(const QString& label) { m_pageNumLabel = label; }
    int pageSizeIndex() const { return m_pageSizeIndex; }
    void setPageSizeIndex(int index) { m_pageSizeIndex = index; }
    TDatePosition datePosition() const { return m_datePosition; }
    void setDatePosition(TDatePosition position) { m_datePosition = position; }
    QString dateFormat() const { return m_dateFormat; }
    void setDateFormat(const QString& format) { m_dateFormat = format; }
    // The one line a report without rows shows; empty: "There are no entries for
    // the <title>."
    QString emptyText() const;
    void setEmptyText(const QString& text) { m_emptyText = text; }
    // A line under the last row (none when empty, or when there are no rows).
    QString closingText() const { return m_closingText; }
    void setClosingText(const QString& text) { m_closingText = text; }
    // The rows the last build drew (0: the page holds the empty text).
    int rowsBuilt() const { return m_rowsBuilt; }

    // Whether a column holds passwords in plain text (USERS.User_PASSWORD and the
    // history slots PW1 to PW25): such a column is never offered or printed.
    static bool isSecretColumn(const QString& name);
    // A heading a reader understands for a column the reports give no caption of
    // their own: "User Name" for USER_NAME, "Login Attempts" for LOGINATTEMPTS.
    static QString readableHeading(const QString& name);

    // Paper width and height in tenths of an inch (portrait) for a paper size index;
    // 0 by 0 for an unknown index.
    static QSize paperSize(int index);

    // The width in inches of a column's text area before the columns are fitted
    // to the paper: the wider of its heading in the heading font and its display
    // width in letters "o" in the body font, and for a date-time at least the
    // widest date-time; least, when given, receives the heading (or date-time) part.
    static double columnWidth(TPageDocument* win, const TField& field, const TFont& headingFont, const TFont& bodyFont,
                              double* least = nullptr);

    // What the designer offers beside OK and Cancel when the design is kept for a
    // database: where to keep it (place 0 with the alias's settings, 1 in the
    // database's folder; the user's choice comes back in it), and bringing the
    // default design back (restoreDefault tells whether the user asked for that).
    struct Keeping {
        int place = 0;
        bool restoreDefault = false;
    };

    void Execute();
    bool Design(Keeping* keeping = nullptr);
    void BuildReport(TPageDocument* sender);

private:
    struct Build;
    void measureColumns(Build& b);
    void pageHeader(Build& b);
    void pageFooter(Build& b);

    TQuery* m_dataSet = nullptr;
    TFont m_bodyFont {QStringLiteral("Arial"), 12};
    TFont m_headingFont {QStringLiteral("Arial"), 12, true};
    QString m_title;
    TFont m_titleFont {QStringLiteral("Arial"), 14, true};
    bool m_titleCentered = true;
    QString m_subTitle;
    TFont m_subTitleFont {QStringLiteral("Arial"), 12, true, true};
    bool m_portrait = false;
    TDividerStyle m_dividerStyle = dvsNone;
    QStringList m_fields;
    TPageDocument* m_formComponent = nullptr;
    TPageNumStyle m_pageNumLocation = pnsNone;
    QString m_pageNumLabel;
    int m_pageSizeIndex = 0;
    TDatePosition m_datePosition = dpNone;
    QString m_dateFormat;
    QString m_emptyText;
    QString m_closingText;
    int m_rowsBuilt = 0;
};
