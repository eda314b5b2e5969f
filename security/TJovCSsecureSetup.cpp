// Opens the setup editor for administrators.
#include "security/TJovCSsecure.h"

#include "database/EDatabaseError.h"
#include "database/TQuery.h"
#include "editor/TFormCSMain.h"
#include "platform/MessageBox.h"
#include "security/TAccessIndex.h"

#include <QWidget>

#include <memory>
#include <utility>

bool TJovCSsecure::Setup()
{
    if (FUserID < 0 || FUserAdmin != 1) {
        if (FOptions.testFlag(soShowUI))
            Platform::showError(QStringLiteral("Administrative rights have not been granted."));
        return false;
    }
    // The editor lives for this call, as a dialog of the form that holds the
    // component when there is one; only the built-in supervisor may change access
    // constants.
    auto editor = std::make_unique<TFormCSMain>(qobject_cast<QWidget*>(parent()));
    editor->SecAlias = FAlias;
    editor->LimitAccess = FUserID != 0;
    editor->AuditUser = FUserID == 0 ? QStringLiteral("SUPERVISOR") : FUserName;
    TFormCSMain* previous = FormCSMain;
    FormCSMain = editor.get();
    editor->exec();
    editor.reset();
    FormCSMain = previous;
    rereadGrants();
    return true;
}

void TJovCSsecure::rereadGrants()
{
    // What the administrator granted in this editor counts from now on in this
    // program; grants made elsewhere count from the next start.
    if (!FUserAcc || !FGroupAcc)
        return;
    try {
        if (FUserGrantsOnly) {
            FUserAcc->close();
            FUserAcc->open();
            FGroupAcc->close();
            FGroupAcc->open();
            buildAccessIndex();
            return;
        }
        // Sets the application has read are read again; the others stay unread.
        for (auto [set, unread] : {std::pair {FUserAcc, FUserAccUnread}, std::pair {FGroupAcc, FGroupAccUnread}})
            if (!unread) {
                set->close();
                set->open();
            }
        auto index = std::make_unique<TAccessIndex>();
        index->read(FAlias);
        FAccessIndex = std::move(index);
    } catch (const EDatabaseError& e) {
        Platform::showError(e.message());
    }
}
