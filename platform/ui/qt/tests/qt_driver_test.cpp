// The Qt driver under the offscreen platform: the widgets sit where the core says, a person's
// actions on them reach the dialog procedure as the platform's notifications, modal loops
// nest, and windows can be grabbed to PNG.
#include "host/ui_qt.h"
#include "recorder.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <filesystem>

namespace {

using namespace host::ui;

class QtDriverTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SetDriver(qt::CreateDriver()); }
    void SetUp() override {
        ResetWindows();
        Commands().clear();
    }
    void TearDown() override { ResetWindows(); }

    HWND OpenEveryControl() {
        HWND dlg = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_EVERY_CONTROL), nullptr,
                                      RecordingProc, 0);
        ShowWindow(dlg, SW_SHOWNORMAL);
        QWidget* window = qt::WidgetOf(dlg);
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
        Commands().clear();
        return dlg;
    }
};

TEST_F(QtDriverTest, WidgetsHaveTheCoresGeometryAndFont) {
    ASSERT_STREQ(CurrentDriver().Name(), "qt");
    HWND dlg = OpenEveryControl();
    QWidget* window = qt::WidgetOf(dlg);
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    RECT client = test::ClientRect(dlg);
    EXPECT_EQ(window->width(), client.right);
    EXPECT_EQ(window->height(), client.bottom);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Every Control"));
    int compared = 0;
    for (HWND child : ChildWindows(dlg)) {
        QWidget* widget = qt::WidgetOf(child);
        ASSERT_TRUE(widget);
        EXPECT_EQ(qt::WindowOf(widget), child);
        RECT r = test::Rect(child);
        EXPECT_EQ(widget->geometry(), QRect(r.left, r.top, r.right - r.left, r.bottom - r.top))
            << "control " << GetDlgCtrlID(child);
        ++compared;
    }
    EXPECT_EQ(compared, 13);
    QFont font = qt::WidgetOf(GetDlgItem(dlg, IDC_LABEL))->font();
    EXPECT_EQ(font.pixelSize(), 11);

    // Moves and changes made by the program follow.
    MoveWindow(GetDlgItem(dlg, IDOK), 10, 20, 80, 30, TRUE);
    SetDlgItemTextW(dlg, IDC_LABEL, u"&Renamed");
    EnableWindow(GetDlgItem(dlg, IDC_NAME), FALSE);
    EXPECT_EQ(qt::WidgetOf(GetDlgItem(dlg, IDOK))->geometry(), QRect(10, 20, 80, 30));
    EXPECT_EQ(static_cast<QLabel*>(qt::WidgetOf(GetDlgItem(dlg, IDC_LABEL)))->text(),
              QStringLiteral("Renamed"));
    EXPECT_FALSE(qt::WidgetOf(GetDlgItem(dlg, IDC_NAME))->isEnabled());
}

TEST_F(QtDriverTest, APersonsActionsReachTheDialogProcedure) {
    HWND dlg = OpenEveryControl();
    HWND ok = GetDlgItem(dlg, IDOK);
    QTest::mouseClick(qt::WidgetOf(ok), Qt::LeftButton);
    ASSERT_FALSE(Commands().empty());
    EXPECT_EQ(Commands().back(), (Command{IDOK, BN_CLICKED, ok}));

    auto* enable = static_cast<QCheckBox*>(qt::WidgetOf(GetDlgItem(dlg, IDC_ENABLE)));
    QTest::mouseClick(enable, Qt::LeftButton);
    EXPECT_EQ(IsDlgButtonChecked(dlg, IDC_ENABLE), BST_CHECKED);
    EXPECT_TRUE(enable->isChecked());
    // A plain check box does not change by itself; the widget shows the core's state again.
    auto* manual = static_cast<QCheckBox*>(qt::WidgetOf(GetDlgItem(dlg, IDC_MANUAL)));
    QTest::mouseClick(manual, Qt::LeftButton);
    EXPECT_EQ(IsDlgButtonChecked(dlg, IDC_MANUAL), BST_UNCHECKED);
    EXPECT_FALSE(manual->isChecked());
    // Radio buttons of a group uncheck each other through the core.
    QTest::mouseClick(qt::WidgetOf(GetDlgItem(dlg, IDC_50HZ)), Qt::LeftButton);
    QTest::mouseClick(qt::WidgetOf(GetDlgItem(dlg, IDC_60HZ)), Qt::LeftButton);
    EXPECT_EQ(IsDlgButtonChecked(dlg, IDC_50HZ), BST_UNCHECKED);
    EXPECT_FALSE(static_cast<QAbstractButton*>(qt::WidgetOf(GetDlgItem(dlg, IDC_50HZ)))->isChecked());

    HWND edit = GetDlgItem(dlg, IDC_NAME);
    SendMessageW(edit, EM_LIMITTEXT, 4, 0);
    Commands().clear();
    auto* line = static_cast<QLineEdit*>(qt::WidgetOf(edit));
    QTest::mouseClick(line, Qt::LeftButton); // focus, as a person does
    EXPECT_EQ(GetFocus(), edit);
    EXPECT_EQ(Commands().front(), (Command{IDC_NAME, EN_SETFOCUS, edit}));
    QTest::keyClicks(line, QStringLiteral("123456"));
    EXPECT_EQ(test::Text(edit), u"1234");
    EXPECT_EQ(line->text(), QStringLiteral("1234"));
    int changes = 0;
    for (const Command& c : Commands())
        changes += c.code == EN_CHANGE;
    EXPECT_EQ(changes, 4);
    EXPECT_EQ(GetFocus(), edit);

    HWND list = GetDlgItem(dlg, IDC_LIST);
    SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"44.1 KHz"));
    SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"48 KHz"));
    auto* combo = static_cast<QComboBox*>(qt::WidgetOf(list));
    EXPECT_EQ(combo->count(), 2);
    Commands().clear();
    emit combo->activated(1);
    EXPECT_EQ(test::Selection(list), 1);
    ASSERT_FALSE(Commands().empty());
    EXPECT_EQ(Commands().back(), (Command{IDC_LIST, CBN_SELCHANGE, list}));
    size_t before = Commands().size();
    SendMessageW(list, CB_SETCURSEL, 0, 0);
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(Commands().size(), before); // nothing from the program's choice
}

INT_PTR NestedQtProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
    if (msg == WM_INITDIALOG) return TRUE;
    if (msg != WM_COMMAND) return FALSE;
    if (LOWORD(wParam) == IDC_OPEN_NESTED) {
        int answer = MessageBoxW(dlg, u"Replace it?", u"Nested", MB_YESNO | MB_ICONQUESTION);
        SetDlgItemInt(dlg, IDC_NAME, static_cast<UINT>(answer), FALSE);
    } else if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dlg, LOWORD(wParam) == IDOK ? 11 : 12);
    }
    return TRUE;
}

// Runs a step from inside the next modal loop.
void Later(std::function<void()> step) {
    QTimer::singleShot(0, qApp, std::move(step));
}

TEST_F(QtDriverTest, ModalLoopsNestWithMessageBoxes) {
    Later([] {
        HWND dlg = test::FindTopLevel(u"Nested");
        ASSERT_TRUE(dlg);
        Later([] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_TRUE(box);
            EXPECT_EQ(box->text(), QStringLiteral("Replace it?"));
            EXPECT_EQ(box->icon(), QMessageBox::Question);
            for (QAbstractButton* b : box->buttons())
                if (b->text() == QStringLiteral("&No")) QTest::mouseClick(b, Qt::LeftButton);
        });
        QTest::mouseClick(qt::WidgetOf(GetDlgItem(dlg, IDC_OPEN_NESTED)), Qt::LeftButton);
        EXPECT_EQ(test::Text(GetDlgItem(dlg, IDC_NAME)), u"7"); // IDNO
        QTest::keyClick(qt::WidgetOf(dlg), Qt::Key_Escape);
    });
    EXPECT_EQ(
        DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_NESTED), nullptr, NestedQtProc, 0),
        12);
    auto boxes = MessageBoxLog();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().result, IDNO);
}

TEST_F(QtDriverTest, SaveDialogShowsTheFiltersAndAddsTheExtension) {
    auto dir = std::filesystem::temp_directory_path() / ("yra-qt-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    QString chosen = QString::fromStdString((dir / "capture").string());
    Later([&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(dialog->nameFilters(), QStringList{QStringLiteral("ts (*.ts)")});
        EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("ts"));
        EXPECT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
        dialog->selectFile(chosen);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    WCHAR file[260] = u"*.ts";
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.lpstrFilter = u"ts\0*.ts\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = 260;
    ofn.lpstrDefExt = u"ts";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
    ASSERT_TRUE(GetSaveFileNameW(&ofn));
    EXPECT_EQ(std::u16string(file), Utf16((dir / "capture.ts").string()));
    EXPECT_EQ(ofn.nFilterIndex, 1u);
    std::filesystem::remove_all(dir);
}

TEST_F(QtDriverTest, WindowsAreGrabbedToPng) {
    HWND dlg = OpenEveryControl();
    CheckDlgButton(dlg, IDC_ENABLE, BST_CHECKED);
    SetDlgItemTextW(dlg, IDC_NAME, u"Capture 1");
    const char* dir = std::getenv("YRA_UI_SCREENSHOT_DIR");
    std::filesystem::path out =
        (dir ? std::filesystem::path(dir) : std::filesystem::temp_directory_path()) / "every_control.png";
    std::filesystem::create_directories(out.parent_path());
    std::filesystem::remove(out);
    ASSERT_TRUE(Screenshot(dlg, out.string()));
    QImage image(QString::fromStdString(out.string()));
    ASSERT_FALSE(image.isNull());
    RECT client = test::ClientRect(dlg);
    EXPECT_EQ(image.width(), client.right);
    EXPECT_EQ(image.height(), client.bottom);
}

} // namespace
