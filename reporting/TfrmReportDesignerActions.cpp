// What the report designer's controls do.
#include "reporting/TfrmReportDesigner.h"

#include "database/EDatabaseError.h"
#include "database/TTable.h"
#include "widgets/TRadioGroup.h"
#include "platform/RegionalSettings.h"
#include "platform/MessageBox.h"
#include "reporting/TFormGenWin.h"
#include "reporting/TReportDesign.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFontDialog>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

int alignIndex(Qt::Alignment a)
{
    const Qt::Alignment h = horizontalAlignment(a);
    return h == Qt::AlignHCenter ? 1 : h == Qt::AlignRight ? 2 : 0;
}

// The font dialog lists installed faces only, so it is shown the face a report's
// name stands for ("Arial" is drawn with Liberation Sans); otherwise it would offer
// its own default face, and OK alone would change the report's font. A face left as
// it was keeps the report's name for it.
bool chooseFont(TFont& font, QWidget* parent)
{
    const QString drawnWith = QFontInfo(font.font).family();
    QFont shown = font.font;
    shown.setFamily(drawnWith);
    bool ok = false;
    QFont chosen = QFontDialog::getFont(&ok, shown, parent, QStringLiteral("Font"), QFontDialog::ScalableFonts);
    if (!ok)
        return false;
    if (chosen.family() == drawnWith)
        chosen.setFamily(font.name());
    font.font = chosen;
    return true;
}

// The record set's fields a report may show, in record-set order: never a column
// of passwords.
QStringList offeredFields(const TQuery& data)
{
    QStringList names;
    for (const QString& name : data.fieldNames())
        if (!TReportDesign::isSecretColumn(name))
            names << name;
    return names;
}

} // namespace

// Defined with the dialog's construction.
TfrmReportDesigner::FontChooser& designerFontChooser();

bool TfrmReportDesigner::FormShow()
{
    TQuery* data = m_definition ? m_definition->dataSet() : nullptr;
    if (!data)
        return false;
    m_wasOpen = data->active();
    if (!m_wasOpen) {
        try {
            data->open();
        } catch (const EDatabaseError&) {
            Platform::showError(QStringLiteral("Invalid Table Property."));
            reject();
            return false;
        }
    }
    m_shown = true;

    if (auto* table = qobject_cast<TTable*>(data)) {
        lbIndexes->setEnabled(true);
        lbIndexes->clear();
        lbIndexes->addItems(table->indexNames());
        for (int i = 0; i < lbIndexes->count(); ++i)
            if (lbIndexes->item(i)->text().compare(table->indexName(), Qt::CaseInsensitive) == 0)
                lbIndexes->setCurrentRow(i);
    } else {
        lbIndexes->setEnabled(false);
    }

    lbReportFields->clear();
    lbRemainingFields->clear();
    QStringList listed;
    for (const QString& name : m_definition->fields()) {
        const TField* f = data->findField(name);
        if (f && !TReportDesign::isSecretColumn(f->fieldName())) {
            lbReportFields->addItem(f->fieldName());
            listed << f->fieldName();
        }
    }
    for (const QString& name : offeredFields(*data))
        if (!listed.contains(name))
            lbRemainingFields->addItem(name);

    rgrpOrient->setItemIndex(m_definition->portrait() ? 0 : 1);
    lbPageSize->setCurrentRow(m_definition->pageSizeIndex());
    if (m_definition->pageSizeIndex() < 0 || m_definition->pageSizeIndex() > 2)
        lbPageSize->clearSelection();
    rgrpDatePos->setItemIndex(m_definition->datePosition());
    edDateFormat->setText(m_definition->dateFormat());
    edDateFormat->setEnabled(m_definition->datePosition() != dpNone);
    rgrpPageNum->setItemIndex(m_definition->pageNumLocation());
    edPageNumLabel->setText(m_definition->pageNumLabel());
    edPageNumLabel->setEnabled(m_definition->pageNumLocation() != pnsNone);
    rgrpDivider->setItemIndex(m_definition->dividerStyle());
    chboxCenterTitle->setChecked(m_definition->titleCentered());
    edTitle->setText(m_definition->title());
    edSubTitle->setText(m_definition->subTitle());
    m_fonts[0] = m_definition->titleFont();
    m_fonts[1] = m_definition->subTitleFont();
    m_fonts[2] = m_definition->headingFont();
    m_fonts[3] = m_definition->bodyFont();
    showFontSample(lblTitleFont, m_fonts[0]);
    showFontSample(lblSubFont, m_fonts[1]);
    showFontSample(lblHeadFont, m_fonts[2]);
    showFontSample(lblBodyFont, m_fonts[3]);

    rgrpZoom->setItemIndex(1);
    frmgenPreview->setZoomMode(2);
    refreshPreview();
    lbPageSizeClick();
    return true;
}

void TfrmReportDesigner::showFontSample(QLabel* label, const TFont& font)
{
    label->setFont(font.atPointSize());
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, font.color);
    label->setPalette(p);
}

TField* TfrmReportDesigner::selectedField() const
{
    const int i = lbReportFields->itemIndex();
    if (i < 0 || !m_definition || !m_definition->dataSet())
        return nullptr;
    return m_definition->dataSet()->findField(lbReportFields->item(i)->text());
}

// ---------------------------------------------------------------- field editors

void TfrmReportDesigner::pnlFieldListClick()
{
    if (!lbRemainingFields->isHidden()) {
        for (int h = lbRemainingFields->height(); h > 18; h -= 10) {
            lbRemainingFields->setFixedHeight(std::max(h - 10, 18));
            lbRemainingFields->repaint();
        }
        lbRemainingFields->hide();
        pnlFieldInfo->show();
        pnlFieldList->setText(QStringLiteral("Show Field List"));
    } else {
        pnlFieldInfo->hide();
        pnlFieldList->setText(QStringLiteral("Remaining Fields"));
        lbRemainingFields->show();
        for (int h = lbRemainingFields->height(); h < 98; h += 5) {
            lbRemainingFields->setFixedHeight(std::min(h + 5, 98));
            lbRemainingFields->repaint();
        }
    }
}

void TfrmReportDesigner::lbReportFieldsClick()
{
    const TField* f = selectedField();
    if (!f)
        return;
    edLabel->setText(f->displayLabel());
    edWidth->setText(QString::number(f->displayWidth()));
    cmboxAlign->setCurrentIndex(alignIndex(f->alignment()));
}

void TfrmReportDesigner::edLabelChange()
{
    if (TField* f = selectedField())
        f->setDisplayLabel(edLabel->text());
}

void TfrmReportDesigner::edWidthChange()
{
    TField* f = selectedField();
    bool ok = false;
    const int width = edWidth->text().trimmed().toInt(&ok);
    if (f && ok && width > 0)
        f->setDisplayWidth(width);
}

void TfrmReportDesigner::cmboxAlignChange()
{
    TField* f = selectedField();
    if (!f)
        return;
    static const Qt::Alignment aligns[3] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
    const int i = cmboxAlign->currentIndex();
    if (i >= 0 && i < 3)
        f->setAlignment(aligns[i]);
}

// ---------------------------------------------------------------- field order

void TfrmReportDesigner::moveReportField(int from, int to)
{
    QListWidgetItem* item = lbReportFields->takeItem(from);
    lbReportFields->insertItem(to, item);
    lbReportFields->setItemIndex(to);
}

void TfrmReportDesigner::spbtnMoveUpClick()
{
    const int i = lbReportFields->itemIndex();
    if (i > 0)
        moveReportField(i, i - 1);
}

void TfrmReportDesigner::spbtnMoveDownClick()
{
    const int i = lbReportFields->itemIndex();
    if (i >= 0 && i < lbReportFields->count() - 1)
        moveReportField(i, i + 1);
}

void TfrmReportDesigner::SpeedButton1Click()
{
    const int i = lbRemainingFields->itemIndex();
    if (i >= 0)
        lbReportFields->addItem(lbRemainingFields->takeItem(i));
    refreshPreview();
}

void TfrmReportDesigner::SpeedButton3Click()
{
    const int i = lbReportFields->itemIndex();
    if (i >= 0) {
        lbRemainingFields->addItem(lbReportFields->takeItem(i));
        refreshPreview();
    }
}

void TfrmReportDesigner::spbtnLeftAllClick()
{
    while (lbRemainingFields->count() > 0)
        lbReportFields->addItem(lbRemainingFields->takeItem(0));
}

void TfrmReportDesigner::spbtnRightAllClick()
{
    lbReportFields->clear();
    lbRemainingFields->clear();
    if (m_definition && m_definition->dataSet())
        lbRemainingFields->addItems(offeredFields(*m_definition->dataSet()));
}

int TfrmReportDesigner::rowAt(QListWidget* list, QPoint position) const
{
    const QListWidgetItem* item = list->itemAt(position);
    return item ? list->row(item) : -1;
}

bool TfrmReportDesigner::lbReportFieldsDragOver(QObject* source, QPoint position)
{
    if (source == lbRemainingFields)
        return true;
    if (source != lbReportFields || lbReportFields->count() == 0)
        return false;
    int target = rowAt(lbReportFields, position);
    if (target < 0)
        target = lbReportFields->count() - 1;
    return target != lbReportFields->itemIndex();
}

void TfrmReportDesigner::lbReportFieldsDragDrop(QObject* source, QPoint position)
{
    const int target = rowAt(lbReportFields, position);
    if (source == lbRemainingFields) {
        const int i = lbRemainingFields->itemIndex();
        if (i < 0)
            return;
        QListWidgetItem* item = lbRemainingFields->takeItem(i);
        if (target < 0)
            lbReportFields->addItem(item);
        else
            lbReportFields->insertItem(target, item);
        refreshPreview();
    } else if (source == lbReportFields) {
        const int from = lbReportFields->itemIndex();
        const int to = target < 0 ? lbReportFields->count() - 1 : target;
        if (from < 0 || from == to)
            return;
        moveReportField(from, to);
        refreshPreview();
    }
}

bool TfrmReportDesigner::lbRemainingFieldsDragOver(QObject* source) { return source == lbReportFields; }

void TfrmReportDesigner::lbRemainingFieldsDragDrop(QObject* source)
{
    if (source != lbReportFields)
        return;
    const int i = lbReportFields->itemIndex();
    if (i < 0)
        return;
    lbRemainingFields->addItem(lbReportFields->takeItem(i));
    refreshPreview();
}

// ---------------------------------------------------------------- fonts, zoom, paper

void TfrmReportDesigner::fontButtonClick(int which)
{
    if (which < 0 || which > 3)
        return;
    TFont font = m_fonts[which];
    const FontChooser& chooser = designerFontChooser();
    const bool chosen = chooser ? chooser(font) : chooseFont(font, this);
    if (!chosen)
        return;
    m_fonts[which] = font;
    QLabel* samples[4] = {lblTitleFont, lblSubFont, lblHeadFont, lblBodyFont};
    showFontSample(samples[which], font);
}

void TfrmReportDesigner::rgrpZoomClick() { frmgenPreview->setZoomMode(rgrpZoom->itemIndex() + 1); }

void TfrmReportDesigner::rgrpDatePosClick()
{
    edDateFormat->setEnabled(rgrpDatePos->itemIndex() > 0);
    refreshPreview();
}

void TfrmReportDesigner::rgrpPageNumClick()
{
    edPageNumLabel->setEnabled(rgrpPageNum->itemIndex() > 0);
    refreshPreview();
}

void TfrmReportDesigner::lbPageSizeClick()
{
    const QList<QListWidgetItem*> selected = lbPageSize->selectedItems();
    QSize paper = selected.isEmpty() ? QSize(0, 0) : TReportDesign::paperSize(lbPageSize->row(selected.first()));
    if (rgrpOrient->itemIndex() == 1)
        paper.transpose();
    if (paper.width() != frmgenPreview->phyWidth() || paper.height() != frmgenPreview->phyHeight()) {
        frmgenPreview->setPhyWidth(paper.width());
        frmgenPreview->setPhyHeight(paper.height());
        refreshPreview();
    }
}

void TfrmReportDesigner::refreshPreview() { frmgenPreview->Execute(); }

// ---------------------------------------------------------------- the sample page

void TfrmReportDesigner::frmgenPreviewBuildReport(TFormGenWin* sender)
{
    TFormGenWin* win = sender ? sender : frmgenPreview;
    const double W = win->phyWidth() / 10.0;
    const double m = win->textMargin();
    const Qt::Alignment titleAlign = chboxCenterTitle->isChecked() ? Qt::AlignHCenter : Qt::AlignLeft;
    const auto xHeight = [win] { return win->GetTextHeight(QStringLiteral("X")); };
    win->setTextFont(m_fonts[0]);
    win->setAlignment(Qt::AlignLeft);
    win->setSingleLine(false);
    win->setBoxText(false);
    win->setWordWrap(true);
    double y = 0.5;

    const int pageNum = rgrpPageNum->itemIndex();
    if (pageNum == 2 || !edTitle->text().isEmpty()) {
        win->setAlignment(titleAlign);
        const double titleX = xHeight();
        if (!edTitle->text().isEmpty())
            win->StrRect(edTitle->text(), 0.5, y, W - 0.5, y + titleX + 2 * m);
        if (pageNum == 2) {
            win->setTextFont(m_fonts[2]);
            win->setAlignment(Qt::AlignRight);
            win->StrRect(edPageNumLabel->text() + QString::number(win->pageCount()), 0.5, y, W - 0.5,
                         y + xHeight() + 2 * m);
            win->setAlignment(Qt::AlignLeft);
            win->setTextFont(m_fonts[0]);
        }
        y += 1.25 * titleX;
    }
    const int datePos = rgrpDatePos->itemIndex();
    if (!edSubTitle->text().isEmpty()) {
        win->setTextFont(m_fonts[1]);
        win->setAlignment(titleAlign);
        const double subX = xHeight();
        win->StrRect(edSubTitle->text(), 0.5, y, W - 0.5, y + subX + 2 * m);
        const bool centred = chboxCenterTitle->isChecked();
        if (datePos <= 0 || (datePos == 1 && !centred) || (datePos == 2 && centred))
            y += 1.25 * subX;
    }
    if (datePos > 0) {
        win->setTextFont(m_fonts[2]);
        win->setAlignment(datePos == 1 ? Qt::AlignLeft : datePos == 2 ? Qt::AlignHCenter : Qt::AlignRight);
        if (edDateFormat->text().isEmpty())
            edDateFormat->setText(QStringLiteral("ddddd"));
        win->StrRect(Platform::formatDate(edDateFormat->text(), QDate::currentDate()), 0.5, y, W - 0.5,
                     y + xHeight() + 2 * m);
        win->setAlignment(Qt::AlignLeft);
        win->setTextFont(m_fonts[1]);
        y += 1.25 * xHeight();
    }

    double x = 0.5;
    double d = y;
    win->setTextFont(m_fonts[2]);
    TQuery* data = m_definition ? m_definition->dataSet() : nullptr;
    const int divider = rgrpDivider->itemIndex();
    for (int i = 0; i < lbReportFields->count(); ++i) {
        const TField* f = data ? data->findField(lbReportFields->item(i)->text()) : nullptr;
        if (!f)
            continue;
        const Qt::Alignment align = horizontalAlignment(f->alignment());
        win->setAlignment(align);
        const QString label = f->displayLabel();
        const double t = win->GetTextWidth(label);
        const double w = TReportDesign::columnWidth(win, *f, m_fonts[2], m_fonts[3]);
        win->setTextFont(m_fonts[2]);
        win->StrRect(label, x, y, x + w + 2 * m, y + xHeight() + 2 * m);
        d = y + win->GetTextHeight(QStringLiteral("G")) + 0.05;
        if (divider == 2) {
            const double s = align == Qt::AlignRight ? x + w - t : align == Qt::AlignHCenter ? x + (w - t) / 2 : x;
            win->Line(s + m, d, s + t + m, d);
        }
        x += w;
    }
    // Without any column there is no heading row to underline.
    if (divider == 1 && lbReportFields->count() > 0)
        win->Line(0.5, d, x, d);
    y = d + 1.0;
    if (pageNum == 1) {
        win->setTextFont(m_fonts[2]);
        win->setAlignment(Qt::AlignHCenter);
        win->StrRect(edPageNumLabel->text() + QString::number(win->pageCount()), 0.5, y, W - 0.5,
                     y + xHeight() + 2 * m);
    }
}

// ---------------------------------------------------------------- keeping the design

void TfrmReportDesigner::offerKeeping(int place)
{
    cmboxKeepDesign->setCurrentIndex(place == 1 ? 1 : 0);
    for (QWidget* w : {static_cast<QWidget*>(lblKeepDesign), static_cast<QWidget*>(cmboxKeepDesign),
                       static_cast<QWidget*>(btnRestoreDefault)})
        w->show();
    setFixedSize(QSize(width(), std::max(height(), sizeHint().height())));
}

int TfrmReportDesigner::keepPlace() const { return cmboxKeepDesign->currentIndex() == 1 ? 1 : 0; }

void TfrmReportDesigner::btnRestoreDefaultClick()
{
    const QString title = m_definition ? m_definition->title() : QString();
    if (Platform::askYesNo(
            QStringLiteral("Restore the default design of the %1? The design kept for this database is removed.")
                .arg(title)))
        done(RestoreDefault);
}

// ---------------------------------------------------------------- OK

void TfrmReportDesigner::bbtnOkClick()
{
    TReportDesign* def = m_definition;
    if (!def) {
        accept();
        return;
    }
    def->setFields(lbReportFields->texts());
    def->setPortrait(rgrpOrient->itemIndex() == 0);
    def->setTitle(edTitle->text());
    def->setSubTitle(edSubTitle->text());
    const QList<QListWidgetItem*> sizes = lbPageSize->selectedItems();
    def->setPageSizeIndex(sizes.isEmpty() ? -1 : lbPageSize->row(sizes.first()));
    if (rgrpDatePos->itemIndex() >= 0)
        def->setDatePosition(TDatePosition(rgrpDatePos->itemIndex()));
    def->setDateFormat(edDateFormat->text());
    if (rgrpPageNum->itemIndex() >= 0)
        def->setPageNumLocation(TPageNumStyle(rgrpPageNum->itemIndex()));
    def->setPageNumLabel(edPageNumLabel->text());
    const int divider = rgrpDivider->itemIndex();
    def->setDividerStyle(divider == 1 ? dvsSolid : divider == 2 ? dvsDash : dvsNone);
    def->setTitleCentered(chboxCenterTitle->isChecked());
    def->setTitleFont(m_fonts[0]);
    def->setSubTitleFont(m_fonts[1]);
    def->setHeadingFont(m_fonts[2]);
    def->setBodyFont(m_fonts[3]);

    auto* table = qobject_cast<TTable*>(def->dataSet());
    const QList<QListWidgetItem*> index = lbIndexes->selectedItems();
    if (table && lbIndexes->isEnabled() && !index.isEmpty() &&
        index.first()->text().compare(table->indexName(), Qt::CaseInsensitive) != 0) {
        table->close();
        table->setIndexName(index.first()->text());
        if (m_wasOpen) {
            try {
                table->open();
            } catch (const EDatabaseError&) {
                Platform::showError(QStringLiteral("Unable to change Index."));
            }
        }
    }
    accept();
}
