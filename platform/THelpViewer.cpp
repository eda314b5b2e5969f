#include "platform/THelpViewer.h"

#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSplitter>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace {
QUrl urlFor(const QString& path)
{
    return path.startsWith(QLatin1Char(':')) ? QUrl(QStringLiteral("qrc") + path) : QUrl::fromLocalFile(path);
}

QString metaContent(const QString& html, const QString& name)
{
    const QRegularExpression meta(
        QStringLiteral("<meta\\s+name=\"%1\"\\s+content=\"([^\"]*)\"").arg(QRegularExpression::escape(name)),
        QRegularExpression::CaseInsensitiveOption);
    return meta.match(html).captured(1);
}

QString titleIn(const QString& html)
{
    static const QRegularExpression title(QStringLiteral("<title>([^<]*)</title>"),
                                          QRegularExpression::CaseInsensitiveOption);
    return title.match(html).captured(1).trimmed();
}
} // namespace

THelpViewer::THelpViewer(const QString& root, const QString& caption, QWidget* parent)
    : QWidget(parent, Qt::Window), m_root(root), m_caption(caption)
{
    setWindowTitle(caption);
    setObjectName(QStringLiteral("HelpViewer"));
    resize(860, 600);

    btnContents = new QPushButton(QStringLiteral("&Contents"), this);
    btnContents->setObjectName(QStringLiteral("btnContents"));
    btnBack = new QPushButton(QStringLiteral("&Back"), this);
    btnBack->setObjectName(QStringLiteral("btnBack"));
    btnBack->setEnabled(false);
    btnForward = new QPushButton(QStringLiteral("&Forward"), this);
    btnForward->setObjectName(QStringLiteral("btnForward"));
    btnForward->setEnabled(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnContents);
    buttons->addWidget(btnBack);
    buttons->addWidget(btnForward);
    buttons->addStretch(1);

    auto* indexPane = new QWidget(this);
    auto* indexLayout = new QVBoxLayout(indexPane);
    indexLayout->setContentsMargins(0, 0, 0, 0);
    auto* lblKeyword = new QLabel(QStringLiteral("&Type a word to find in the index:"), indexPane);
    edKeyword = new QLineEdit(indexPane);
    edKeyword->setObjectName(QStringLiteral("edKeyword"));
    edKeyword->setClearButtonEnabled(true);
    lblKeyword->setBuddy(edKeyword);
    lbKeywords = new QListWidget(indexPane);
    lbKeywords->setObjectName(QStringLiteral("lbKeywords"));
    lblTopics = new QLabel(QStringLiteral("Topics &found:"), indexPane);
    lbTopics = new QListWidget(indexPane);
    lbTopics->setObjectName(QStringLiteral("lbTopics"));
    lblTopics->setBuddy(lbTopics);
    indexLayout->addWidget(lblKeyword);
    indexLayout->addWidget(edKeyword);
    indexLayout->addWidget(lbKeywords, 3);
    indexLayout->addWidget(lblTopics);
    indexLayout->addWidget(lbTopics, 1);

    brwTopic = new QTextBrowser(this);
    brwTopic->setObjectName(QStringLiteral("brwTopic"));
    brwTopic->setOpenExternalLinks(true);
    brwTopic->setSearchPaths({m_root});

    auto* splitter = new QSplitter(this);
    splitter->addWidget(indexPane);
    splitter->addWidget(brwTopic);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({240, 620});

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(splitter, 1);

    connect(btnContents, &QPushButton::clicked, this, [this] { showTopic(QStringLiteral("Contents")); });
    connect(btnBack, &QPushButton::clicked, brwTopic, &QTextBrowser::backward);
    connect(btnForward, &QPushButton::clicked, brwTopic, &QTextBrowser::forward);
    connect(brwTopic, &QTextBrowser::backwardAvailable, btnBack, &QPushButton::setEnabled);
    connect(brwTopic, &QTextBrowser::forwardAvailable, btnForward, &QPushButton::setEnabled);
    connect(brwTopic, &QTextBrowser::sourceChanged, this, &THelpViewer::topicChanged);
    connect(edKeyword, &QLineEdit::textChanged, this, &THelpViewer::filterKeywords);
    connect(edKeyword, &QLineEdit::returnPressed, this, [this] {
        if (QListWidgetItem* item = lbKeywords->currentItem())
            displayKeyword(item->text());
    });
    connect(lbKeywords, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { displayKeyword(item->text()); });
    connect(lbKeywords, &QListWidget::currentTextChanged, this, [this](const QString& keyword) {
        lbTopics->clear();
        for (const QString& context : topicsFor(keyword)) {
            auto* item = new QListWidgetItem(titleOf(context), lbTopics);
            item->setData(Qt::UserRole, context);
        }
    });
    connect(lbTopics, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { showTopic(item->data(Qt::UserRole).toString()); });
    connect(lbTopics, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { showTopic(item->data(Qt::UserRole).toString()); });

    loadPages();
    filterKeywords(QString());
}

void THelpViewer::loadPages()
{
    const QStringList files = QDir(m_root).entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name);
    for (const QString& name : files) {
        QFile file(m_root + QLatin1Char('/') + name);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString html = QString::fromUtf8(file.readAll());
        const QString context = name.left(name.size() - 5);
        const QString title = titleIn(html);
        m_titles.insert(context, title.isEmpty() ? context : title);
        const QStringList words = metaContent(html, QStringLiteral("keywords")).split(QLatin1Char(';'));
        for (QString word : words) {
            word = word.simplified();
            if (word.isEmpty())
                continue;
            Entry& entry = m_index[word.toLower()];
            if (entry.keyword.isEmpty())
                entry.keyword = word;
            if (!entry.contexts.contains(context))
                entry.contexts << context;
        }
    }
}

QStringList THelpViewer::keywords() const
{
    QStringList list;
    for (const Entry& entry : m_index)
        list << entry.keyword;
    return list;
}

QStringList THelpViewer::shownKeywords() const
{
    QStringList list;
    for (int i = 0; i < lbKeywords->count(); ++i)
        list << lbKeywords->item(i)->text();
    return list;
}

QStringList THelpViewer::topicsFor(const QString& keyword) const { return m_index.value(keyword.toLower()).contexts; }

void THelpViewer::filterKeywords(const QString& text)
{
    // Every keyword that contains the typed text; those that start with it first.
    const QString wanted = text.simplified();
    QStringList starting;
    QStringList containing;
    for (const Entry& entry : m_index) {
        if (entry.keyword.startsWith(wanted, Qt::CaseInsensitive))
            starting << entry.keyword;
        else if (entry.keyword.contains(wanted, Qt::CaseInsensitive))
            containing << entry.keyword;
    }
    lbKeywords->clear();
    lbKeywords->addItems(starting + containing);
    if (lbKeywords->count() > 0)
        lbKeywords->setCurrentRow(0);
    else
        lbTopics->clear();
}

void THelpViewer::displayKeyword(const QString& keyword)
{
    const QStringList contexts = topicsFor(keyword);
    if (!contexts.isEmpty())
        showTopic(contexts.first());
}

bool THelpViewer::showTopic(const QString& context)
{
    const QString path = m_root + QLatin1Char('/') + context + QStringLiteral(".html");
    if (!QFile::exists(path))
        return false;
    brwTopic->setSource(urlFor(path));
    return true;
}

void THelpViewer::showSearch(const QString& partialKeyword)
{
    edKeyword->setText(partialKeyword);
    filterKeywords(partialKeyword);
    edKeyword->setFocus();
    if (currentTopic().isEmpty())
        showTopic(QStringLiteral("Contents"));
}

QString THelpViewer::contextOf(const QUrl& url) const
{
    const QString file = url.fileName();
    return file.endsWith(QStringLiteral(".html")) ? file.left(file.size() - 5) : QString();
}

QString THelpViewer::currentTopic() const { return contextOf(brwTopic->source()); }

QString THelpViewer::currentTitle() const { return m_titles.value(currentTopic()); }

void THelpViewer::topicChanged(const QUrl& url)
{
    // The browser tells the new page before its source() reads it.
    const QString title = m_titles.value(contextOf(url));
    setWindowTitle(title.isEmpty() ? m_caption : m_caption + QStringLiteral(" - ") + title);
}

void THelpViewer::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void THelpViewer::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Once: later the window stays where the user put it.
    if (m_placed)
        return;
    m_placed = true;
    const QScreen* screen = parentWidget() ? parentWidget()->screen() : this->screen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    // The frame's margins as the window system reports them (none before it is mapped).
    const QMargins frame(geometry().left() - frameGeometry().left(), geometry().top() - frameGeometry().top(),
                         frameGeometry().right() - geometry().right(), frameGeometry().bottom() - geometry().bottom());
    const QRect room = available.marginsRemoved(frame);
    QRect wanted(geometry().topLeft(), size().boundedTo(room.size()));
    if (!room.contains(wanted)) {
        if (parentWidget() && room.contains(parentWidget()->geometry().center()))
            wanted.moveCenter(parentWidget()->geometry().center());
        wanted.moveLeft(std::clamp(wanted.left(), room.left(), room.right() - wanted.width() + 1));
        wanted.moveTop(std::clamp(wanted.top(), room.top(), room.bottom() - wanted.height() + 1));
    }
    setGeometry(wanted);
}
