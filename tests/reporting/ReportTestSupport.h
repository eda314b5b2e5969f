#pragma once
// Shared helpers of the reporting tests: the texts a recording holds page by page,
// PDF files read back with poppler's tools, and print dialogs answered in code.

#include "reporting/TDrawCmd.h"
#include "reporting/TFormGenWin.h"
#include "reporting/PrintSetup.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QWidget>
#include <gtest/gtest.h>

#include <map>

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QStringList& list, std::ostream* os)
{
    *os << '{' << list.join(QStringLiteral("|")).toStdString() << '}';
}

// The text boxes of one page, in recording order.
inline std::vector<const TTextBoxCmd*> textBoxes(const TFormGenWin& win, int page)
{
    std::vector<const TTextBoxCmd*> boxes;
    for (const auto& cmd : win.commands())
        if (cmd->Page == page)
            if (auto* t = dynamic_cast<const TTextBoxCmd*>(cmd.get()))
                boxes.push_back(t);
    return boxes;
}

inline QStringList pageTexts(const TFormGenWin& win, int page)
{
    QStringList texts;
    for (const TTextBoxCmd* t : textBoxes(win, page))
        texts << t->Text;
    return texts;
}

inline const TTextBoxCmd* findText(const TFormGenWin& win, int page, const QString& text)
{
    for (const TTextBoxCmd* t : textBoxes(win, page))
        if (t->Text == text)
            return t;
    return nullptr;
}

inline int countOf(const TFormGenWin& win, const std::function<bool(const TDrawCmd&)>& pred)
{
    int n = 0;
    for (const auto& cmd : win.commands())
        n += pred(*cmd) ? 1 : 0;
    return n;
}

// How many clip paths the page contents of a PDF file set (its streams are
// deflated; qUncompress wants the size first and takes a generous guess).
inline int pdfClipCount(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray pdf = f.readAll();
    static const QRegularExpression clip(QStringLiteral("\\bW\\*? n\\b"));
    int clips = 0;
    for (qsizetype at = pdf.indexOf("stream\n"); at >= 0; at = pdf.indexOf("stream\n", at)) {
        at += 7;
        const qsizetype end = pdf.indexOf("endstream", at);
        if (end < 0)
            break;
        const QByteArray packed = QByteArray::fromHex("01000000") + pdf.mid(at, end - at);
        clips += int(QString::fromLatin1(qUncompress(packed)).count(clip));
        at = end + 9;
    }
    return clips;
}

// The text of each page of a PDF file (pdftotext, pages split at form feeds).
inline QStringList pdfPages(const QString& file)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")});
    p.waitForFinished(60000);
    QStringList pages = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

// One field of pdfinfo's report ("Pages", "Title", "Page size").
inline QString pdfInfo(const QString& file, const QString& key)
{
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {file});
    p.waitForFinished(60000);
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n')))
        if (line.startsWith(key + QLatin1Char(':')))
            return line.mid(key.size() + 1).trimmed();
    return QString();
}

// Prints to PDF files wherever a test asks: no printer, a fixed file name, and a
// print dialog answered by the test's choice.
class PdfPrinting {
public:
    explicit PdfPrinting(const QString& file)
    {
        Reporting::setPrinterNameHandler([] { return QString(); });
        Reporting::setPdfFileHandler([this, file](const QString&) {
            ++fileQuestions;
            return file;
        });
    }
    ~PdfPrinting()
    {
        Reporting::setPrinterNameHandler({});
        Reporting::setPdfFileHandler({});
        Reporting::setPrintDialogHandler({});
    }
    // The dialog answers with what the function sets; false cancels.
    void answerDialog(std::function<bool(Reporting::TPrintChoice&)> answer)
    {
        Reporting::setPrintDialogHandler([this, answer](QPrinter&, Reporting::TPrintChoice& choice) {
            ++dialogs;
            offered = choice;
            return answer(choice);
        });
    }
    int fileQuestions = 0;
    int dialogs = 0;
    Reporting::TPrintChoice offered;
};

// Closes every top-level window a test left open.
inline void closeAllWindows()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        w->close();
}
