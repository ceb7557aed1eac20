#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <vector>

#include "toolkit/requester.h"
#include "toolkit_fixture.h"

namespace {

using AlertTest = ToolkitTest;

TEST_F(AlertTest, TheRealAlertShowsTheButtonsInOrderAndTheFirstIsTheDefaultAndEscapesAnswer) {
    // click: the button clicked, or -1 for Escape, which answers as the first button.
    const struct { int click; int answer; } table[] = {{0, 1}, {1, 2}, {-1, 1}};
    for (const auto& row : table) {
        std::vector<QString> titles;
        bool firstIsDefault = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            for (QAbstractButton* b : box->buttons()) titles.push_back(b->text());
            firstIsDefault = box->defaultButton() && box->defaultButton()->text() == QStringLiteral("Ok");
            if (row.click < 0) QTest::keyClick(box, Qt::Key_Escape);
            for (QAbstractButton* b : box->buttons()) {
                if (row.click >= 0 && b->text() == (row.click == 0 ? QStringLiteral("Ok") : QStringLiteral("Other")))
                    b->click();
            }
            if (box->isVisible()) box->hide();  // not answered: a failure, not a hang
        });
        EXPECT_EQ(AlertRequester(u"Title", u"Text", {u"Ok", u"Other"}), row.answer);
        EXPECT_EQ(titles.size(), 2u);
        EXPECT_TRUE(firstIsDefault);
    }
}

}  // namespace
