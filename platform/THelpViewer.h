#pragma once
// THelpViewer (unit HelpViewer): the program's help window: HTML pages shown in a
// browser pane beside a keyword index with a search line. Each page is one topic, found
// by its context string (the page's file name without ".html"); its <title> names it
// and its <meta name="keywords" content="one; two"> puts it under those keywords.

#include <QMap>
#include <QString>
#include <QStringList>
#include <QWidget>

class QKeyEvent;
class QLabel;
class QShowEvent;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTextBrowser;
class QUrl;

class THelpViewer : public QWidget {
    Q_OBJECT
public:
    // root: the folder of the pages, a resource folder (":/...") or a directory;
    // caption: the window's caption, followed by the title of the topic shown.
    THelpViewer(const QString& root, const QString& caption, QWidget* parent = nullptr);

    // Shows the topic with this context string; false when there is none.
    bool showTopic(const QString& context);
    // Opens the keyword index with the partial keyword in its search line.
    void showSearch(const QString& partialKeyword);

    // The topic shown now (its context string), and its title.
    QString currentTopic() const;
    QString currentTitle() const;
    // Every keyword, sorted without regard to case; and those the search line shows.
    QStringList keywords() const;
    QStringList shownKeywords() const;
    // The context strings of the topics filed under a keyword.
    QStringList topicsFor(const QString& keyword) const;
    // The title of a topic.
    QString titleOf(const QString& context) const { return m_titles.value(context); }

    // Shows the topics of a keyword: the only one at once, several in the topic list.
    void displayKeyword(const QString& keyword);

    QPushButton* btnContents;
    QPushButton* btnBack;
    QPushButton* btnForward;
    QLineEdit* edKeyword;
    QListWidget* lbKeywords;
    QLabel* lblTopics;
    QListWidget* lbTopics;
    QTextBrowser* brwTopic;

protected:
    // Esc closes the window, as in the program's dialogs.
    void keyPressEvent(QKeyEvent* event) override;
    // The window opens wholly on its screen, made smaller where the screen is.
    void showEvent(QShowEvent* event) override;

private:
    void loadPages();
    void filterKeywords(const QString& text);
    void topicChanged(const QUrl& url);
    QString contextOf(const QUrl& url) const;

    QString m_root;
    QString m_caption;
    bool m_placed = false;
    QMap<QString, QString> m_titles; // context -> title
    struct Entry {
        QString keyword; // as the pages spell it
        QStringList contexts; // the topics filed under it
    };
    QMap<QString, Entry> m_index; // by the keyword folded to lower case
};
