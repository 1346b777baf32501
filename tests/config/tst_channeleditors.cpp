// The channel configuration editors: defaults per model, the cell-editor
// chains, batch setting, the parameter import and the checks before storing.

#include "ChannelConfig.h"
#include "ChannelConfigAdd.h"
#include "ChannelConfigBatch.h"
#include "ChannelConfigNew.h"
#include "ChannelConfigOpen.h"
#include "ChannelModel.h"
#include "Collection.h"
#include "MessageBox.h"
#include "ModalRun.h"
#include "ParametersTemp.h"
#include "TestSupport.h"
#include "Tool.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QtTest>

#include <memory>

namespace {

Tool::Struct_ChannelConfig header(const QString& name, const QString& mode, int number)
{
    Tool::Struct_ChannelConfig r;
    r.Name = name;
    r.Mode = mode;
    r.Module = QStringLiteral("1,0,0,0,0,0");
    r.Number = number;
    r.CompensationWay = QStringLiteral("内部补偿");
    r.ColdJunctionTemp = QStringLiteral("0");
    return r;
}

// Opens the cell editor, puts text into it and commits by clicking elsewhere.
void edit(ChannelConfigAdd& add, int row, int column, const QString& text)
{
    add.tw_cellDoubleClicked(row, column);
    QVERIFY2(add.editorOpen(), qPrintable(QStringLiteral("no editor for column %1").arg(column)));
    if (auto* box = qobject_cast<QComboBox*>(add.editor())) {
        QVERIFY2(box->findText(text) >= 0, qPrintable(text));
        box->setCurrentText(text);
    } else {
        qobject_cast<QLineEdit*>(add.editor())->setText(text);
    }
    add.tw_cellClicked(row == 0 ? 1 : 0, ChannelConfigAdd::ColRow);
}

QStringList comboItems(QWidget* editor)
{
    QStringList items;
    if (auto* box = qobject_cast<QComboBox*>(editor))
        for (int i = 0; i < box->count(); ++i)
            items << box->itemText(i);
    return items;
}

} // namespace

class TestChannelEditors : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void defaultsPerModel_data();
    void defaultsPerModel();
    void newDialogRefusals_data();
    void newDialogRefusals();
    void newDialogDatabaseFailure();
    void compensation();
    void editorsOf3107A();
    void chains3108A();
    void oneEditorAtATime();
    void commaAndNumberGuards();
    void selectAll();
    void batch();
    void batchCancelledAndNumbers();
    void importFallBack();
    void importRefusesBadFile();
    void saveChecks();
    void endToEndThroughThePage();
    void openDialog();
    void confirmationCells_data();
    void confirmationCells();

private:
    std::unique_ptr<TestWorkDir> m_Dir;
    std::unique_ptr<Collection> m_Driver;
    ChannelConfigAdd* makeAdd(const QString& mode, int number, const QString& name = QStringLiteral("cfg"));
    std::unique_ptr<ChannelConfigAdd> m_Add;
};

void TestChannelEditors::init()
{
    m_Dir.reset(new TestWorkDir);
    QVERIFY(TestSupport::openDatabase());
    MessageBox::setTestMode(true);
    MessageBox::clear();
    FileDialog::setTestMode(true);
    FileDialog::clear();
    ModalRun::setRunner({});
}

void TestChannelEditors::cleanup()
{
    ModalRun::setRunner({});
    m_Add.reset();
    m_Driver.reset();
    m_Dir.reset();
}

ChannelConfigAdd* TestChannelEditors::makeAdd(const QString& mode, int number, const QString& name)
{
    m_Driver.reset(ChannelModel::createCollection(mode));
    m_Add.reset(new ChannelConfigAdd);
    m_Add->setData(m_Driver.get(), header(name, mode, number));
    return m_Add.get();
}

void TestChannelEditors::defaultsPerModel_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("last");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("function");
    QTest::addColumn<QString>("wire");
    QTest::addColumn<bool>("selectable");
    QTest::newRow("TC") << "3107A-TC" << 16 << "116" << "热电偶" << "A" << "二线制" << false;
    QTest::newRow("RTD") << "3107A-RTD" << 8 << "108" << "铂电阻" << "PT385" << "二线制" << false;
    QTest::newRow("NTC") << "3107A-NTC" << 3 << "103" << "热敏电阻" << "R(T)" << "二线制" << false;
    QTest::newRow("PCR") << "3107A-PCR" << 1 << "101" << "热敏电阻" << "R(T)" << "二线制" << false;
    QTest::newRow("3108A") << "3108A" << 5 << "105" << "铂电阻" << "ITS90" << "二线制" << true;
}

void TestChannelEditors::defaultsPerModel()
{
    QFETCH(QString, mode);
    QFETCH(int, number);
    QFETCH(QString, last);
    QFETCH(QString, type);
    QFETCH(QString, function);
    QFETCH(QString, wire);
    QFETCH(bool, selectable);

    ChannelConfigAdd* add = makeAdd(mode, number);
    QCOMPARE(add->table()->rowCount(), number);
    QCOMPARE(add->table()->columnCount(), int(ChannelConfigAdd::ColumnCount));
    const Tool::Struct_ChannelConfig r = add->record();
    QCOMPARE(r.ChannelNumber.first(), QStringLiteral("101"));
    QCOMPARE(r.ChannelNumber.last(), last);
    QCOMPARE(r.Tag.last(), QStringLiteral("CH") + last);
    QCOMPARE(r.Type.first(), type);
    QCOMPARE(r.Function.first(), function);
    QCOMPARE(r.Wire.first(), wire);
    QCOMPARE(r.MX_B_M.first(), QStringLiteral("1"));
    QCOMPARE(r.MX_B_B.first(), QStringLiteral("0"));
    QCOMPARE(r.Unit.first(), QStringLiteral("℃"));
    QCOMPARE(r.B4_C6.last(), QStringLiteral("0"));
    QCOMPARE(r.Low.first(), QStringLiteral("0"));
    QCOMPARE(r.Hight.first(), QStringLiteral("100"));
    QCOMPARE(r.LowState, QVector<bool>(number, false).toList());
    QCOMPARE(add->cellText(number - 1, ChannelConfigAdd::ColRow), QString::number(number));
    QVERIFY(add->checkBox(0, ChannelConfigAdd::ColSelect));
    QCOMPARE(add->checkBox(0, ChannelConfigAdd::ColSelect)->isEnabled(), selectable);
    QVERIFY(add->checkBox(0, ChannelConfigAdd::ColHightState)->isEnabled());
}

void TestChannelEditors::newDialogRefusals_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("number");
    QTest::addColumn<bool>("module1");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty name") << "" << "0" << false << "请先输入文件名称!";
    QTest::newRow("comma") << "a,b" << "0" << false << "文件名称不许使用逗号!";
    QTest::newRow("exists") << "taken" << "0" << false << "通道名称已存在!";
    QTest::newRow("count 0") << "fresh" << "0" << false << "通道数不能为0!";
    QTest::newRow("no module") << "fresh" << "4" << false << "模块配置不能为空!";
    QTest::newRow("too many") << "fresh" << "17" << true << "超过最大通道数!";
}

void TestChannelEditors::newDialogRefusals()
{
    QFETCH(QString, name);
    QFETCH(QString, number);
    QFETCH(bool, module1);
    QFETCH(QString, message);
    QVERIFY(Tool::addChannelConfig(header(QStringLiteral("taken"), QStringLiteral("3107A-NTC"), 1)));

    ChannelConfigNew dialog;
    bool addRan = false;
    ModalRun::setRunner([&](QDialog*) {
        addRan = true;
        return int(QDialog::Rejected);
    });
    dialog.findChild<QLineEdit*>("lineEdit_Name")->setText(name);
    dialog.findChild<QLineEdit*>("lineEdit_Number")->setText(number);
    dialog.findChild<QCheckBox*>("checkBox_Module1")->setChecked(module1);
    dialog.pt_Next_clicked();
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::last().title, QStringLiteral("警告"));
    QCOMPARE(MessageBox::last().text, message);
    QVERIFY(!addRan);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

void TestChannelEditors::newDialogDatabaseFailure()
{
    ChannelConfigNew dialog;
    dialog.findChild<QLineEdit*>("lineEdit_Name")->setText(QStringLiteral("x"));
    TestSupport::closeDatabase();
    dialog.pt_Next_clicked();
    QCOMPARE(MessageBox::last().text, QStringLiteral("数据库连接失败!"));
}

void TestChannelEditors::compensation()
{
    ChannelConfigNew dialog;
    auto* mode = dialog.findChild<QComboBox*>("comboBox_Mode");
    auto* way = dialog.findChild<QComboBox*>("comboBox_Way");
    auto* temp = dialog.findChild<QLineEdit*>("lineEdit_Temp");
    QCOMPARE(mode->currentText(), QStringLiteral("3107A-NTC"));
    QCOMPARE(comboItems(way), QStringList{QStringLiteral("内部补偿")});
    mode->setCurrentText(QStringLiteral("3108A"));
    QCOMPARE(way->count(), 2);
    dialog.cb_Way_clicked(QStringLiteral("固定冷端"));
    QVERIFY(temp->isEnabled());
    dialog.cb_Way_clicked(QStringLiteral("内部补偿"));
    QVERIFY(!temp->isEnabled());
    for (int k = 2; k <= 6; ++k)
        QVERIFY(!dialog.findChild<QCheckBox*>(QStringLiteral("checkBox_Module%1").arg(k))->isEnabled());
    QCOMPARE(dialog.record().Module, QStringLiteral("1,0,0,0,0,0"));
}

void TestChannelEditors::editorsOf3107A()
{
    ChannelConfigAdd* add = makeAdd(QStringLiteral("3107A-RTD"), 4);
    for (int column : {0, 1, 4, 5, 6, 9, 17, 19}) {
        add->tw_cellDoubleClicked(1, column);
        QVERIFY2(!add->editorOpen(), qPrintable(QString::number(column)));
    }
    add->tw_cellDoubleClicked(1, ChannelConfigAdd::ColNumber);
    QCOMPARE(comboItems(add->editor()).size(), 16);
    add->tw_cellClicked(0, 0);
    edit(*add, 1, ChannelConfigAdd::ColTag, QStringLiteral("Oven"));
    edit(*add, 1, ChannelConfigAdd::ColR0_C4, QStringLiteral("100.02"));
    edit(*add, 1, ChannelConfigAdd::ColHight, QStringLiteral("-5.5"));
    QCOMPARE(add->cellText(1, ChannelConfigAdd::ColTag), QStringLiteral("Oven"));
    QCOMPARE(add->cellText(1, ChannelConfigAdd::ColR0_C4), QStringLiteral("100.02"));
    QCOMPARE(add->cellText(1, ChannelConfigAdd::ColHight), QStringLiteral("-5.5"));
    // An unchanged channel number keeps the tag the user gave.
    edit(*add, 1, ChannelConfigAdd::ColNumber, QStringLiteral("102"));
    QCOMPARE(add->cellText(1, ChannelConfigAdd::ColTag), QStringLiteral("Oven"));
}

void TestChannelEditors::chains3108A()
{
    ChannelConfigAdd* add = makeAdd(QStringLiteral("3108A"), 5);
    edit(*add, 4, ChannelConfigAdd::ColNumber, QStringLiteral("120"));
    QCOMPARE(add->cellText(4, ChannelConfigAdd::ColTag), QStringLiteral("CH120"));

    add->tw_cellDoubleClicked(0, ChannelConfigAdd::ColUnit);
    QCOMPARE(comboItems(add->editor()).size(), 14);
    add->tw_cellClicked(1, 1);

    edit(*add, 0, ChannelConfigAdd::ColWire, QStringLiteral("三线制"));
    edit(*add, 0, ChannelConfigAdd::ColType, QStringLiteral("热电偶"));
    QCOMPARE(add->cellText(0, ChannelConfigAdd::ColFunction), QStringLiteral("A"));
    QCOMPARE(add->cellText(0, ChannelConfigAdd::ColWire), QStringLiteral("三线制"));
    QCOMPARE(add->cellText(0, ChannelConfigAdd::ColUnit), QStringLiteral("℃"));
    // The function editor offers the functions of the row's new type.
    add->tw_cellDoubleClicked(0, ChannelConfigAdd::ColFunction);
    QCOMPARE(comboItems(add->editor()), m_Driver->FunctionList(QStringLiteral("热电偶")));
    qobject_cast<QComboBox*>(add->editor())->setCurrentText(QStringLiteral("K"));
    add->tw_cellClicked(2, 2);
    // Re-committing the same type keeps the function chosen.
    edit(*add, 0, ChannelConfigAdd::ColType, QStringLiteral("热电偶"));
    QCOMPARE(add->cellText(0, ChannelConfigAdd::ColFunction), QStringLiteral("K"));

    add->pt_Save_clicked();
    QCOMPARE(MessageBox::last().text, QStringLiteral("通道101接线线制错误！"));
    QCOMPARE(add->result(), int(QDialog::Rejected));
    edit(*add, 0, ChannelConfigAdd::ColWire, QStringLiteral("二线制"));
    add->pt_Save_clicked();
    QCOMPARE(MessageBox::last().text, QStringLiteral("添加成功！"));
    QCOMPARE(MessageBox::last().title, QStringLiteral("提示"));

    QList<Tool::Struct_ChannelConfig> stored;
    QVERIFY(Tool::getChannelConfig(stored, QStringLiteral("cfg")));
    QCOMPARE(stored.size(), 1);
    QCOMPARE(stored.first().ChannelNumber.last(), QStringLiteral("120"));
    QCOMPARE(stored.first().Tag.last(), QStringLiteral("CH120"));
    QCOMPARE(stored.first().Function.first(), QStringLiteral("K"));
    QCOMPARE(stored.first().Module, QStringLiteral("1,0,0,0,0,0"));
    QVERIFY(QDateTime::fromString(stored.first().Time, QStringLiteral("yyyy-MM-dd hh:mm:ss")).isValid());
}

void TestChannelEditors::oneEditorAtATime()
{
    ChannelConfigAdd* add = makeAdd(QStringLiteral("3108A"), 3);
    add->tw_cellDoubleClicked(0, ChannelConfigAdd::ColTag);
    QWidget* first = add->editor();
    add->tw_cellDoubleClicked(1, ChannelConfigAdd::ColLow);
    QCOMPARE(add->editor(), first);
    QVERIFY(!add->table()->cellWidget(1, ChannelConfigAdd::ColLow));
    // A click on the edited cell itself does not commit.
    add->tw_cellClicked(0, ChannelConfigAdd::ColTag);
    QVERIFY(add->editorOpen());
    add->tw_cellClicked(1, ChannelConfigAdd::ColLow);
    QVERIFY(!add->editorOpen());
}

void TestChannelEditors::commaAndNumberGuards()
{
    ChannelConfigAdd* add = makeAdd(QStringLiteral("3108A"), 2);
    add->tw_cellDoubleClicked(0, ChannelConfigAdd::ColTag);
    qobject_cast<QLineEdit*>(add->editor())->setText(QStringLiteral("a,b"));
    add->tw_cellClicked(1, 1);
    QCOMPARE(MessageBox::last().text, QStringLiteral("通道标签不许使用逗号!"));
    QVERIFY(add->editorOpen()); // what was typed stays for correction
    QCOMPARE(add->cellText(0, ChannelConfigAdd::ColTag), QStringLiteral("CH101"));
    // Saving cannot slip past it either.
    add->pt_Save_clicked();
    QCOMPARE(add->result(), int(QDialog::Rejected));
    QCOMPARE(TestSupport::scalar(QStringLiteral("select count(*) from ChannelConfig")).toInt(), 0);
    qobject_cast<QLineEdit*>(add->editor())->setText(QStringLiteral("a;b"));
    add->tw_cellClicked(1, 1);
    QCOMPARE(add->cellText(0, ChannelConfigAdd::ColTag), QStringLiteral("a;b"));

    MessageBox::clear();
    add->tw_cellDoubleClicked(0, ChannelConfigAdd::ColM);
    qobject_cast<QLineEdit*>(add->editor())->setText(QString());
    add->tw_cellClicked(1, 1);
    QCOMPARE(MessageBox::last().text, QStringLiteral("请输入有效的数值！"));
    QCOMPARE(add->cellText(0, ChannelConfigAdd::ColM), QStringLiteral("1"));
}

void TestChannelEditors::selectAll()
{
    ChannelConfigAdd* add = makeAdd(QStringLiteral("3108A"), 3);
    auto* all = add->findChild<QPushButton*>("pushButton_All");
    add->pt_All_clicked();
    QCOMPARE(all->text(), QStringLiteral("取消全选"));
    for (int row = 0; row < 3; ++row)
        QVERIFY(add->isChecked(row, ChannelConfigAdd::ColSelect));
    add->pt_All_clicked();
    QCOMPARE(all->text(), QStringLiteral("全选"));
    QVERIFY(!add->isChecked(2, ChannelConfigAdd::ColSelect));

    // A 3107A has one setting per instrument: nothing can be selected for a batch.
    ChannelConfigAdd* fixed = makeAdd(QStringLiteral("3107A-TC"), 4);
    fixed->pt_All_clicked();
    QVERIFY(!fixed->isChecked(0, ChannelConfigAdd::ColSelect));
    bool batchRan = false;
    ModalRun::setRunner([&](QDialog*) {
        batchRan = true;
        return int(QDialog::Rejected);
    });
    fixed->pt_Batch_clicked();
    QVERIFY(!batchRan);
    QCOMPARE(MessageBox::last().text, QStringLiteral("请先选择通道！"));
}

void TestChannelEditors::batch()
{
    ChannelConfigAdd* add = makeAdd(QStringLiteral("3108A"), 3);
    edit(*add, 0, ChannelConfigAdd::ColA_C0, QStringLiteral("5"));
    edit(*add, 0, ChannelConfigAdd::ColM, QStringLiteral("2"));
    add->checkBox(0, ChannelConfigAdd::ColSelect)->setChecked(true);
    add->checkBox(1, ChannelConfigAdd::ColSelect)->setChecked(true);

    QStringList offeredTypes;
    bool enabledB = false, enabledR0 = true;
    ModalRun::setRunner([&](QDialog* dialog) {
        auto* b = qobject_cast<ChannelConfigBatch*>(dialog);
        if (!b)
            return int(QDialog::Rejected);
        auto* type = b->findChild<QComboBox*>("comboBox_Type");
        offeredTypes = comboItems(type);
        type->setCurrentText(QStringLiteral("热敏电阻"));
        b->findChild<QComboBox*>("comboBox_Range")->setCurrentText(QStringLiteral("R(T)"));
        b->findChild<QComboBox*>("comboBox_Wire")->setCurrentText(QStringLiteral("四线制"));
        b->findChild<QComboBox*>("comboBox_Unit")->setCurrentText(QStringLiteral("Ω"));
        enabledB = b->findChild<QLineEdit*>("lineEdit_B_C1")->isEnabled();
        enabledR0 = b->findChild<QLineEdit*>("lineEdit_R0_C4")->isEnabled();
        b->findChild<QLineEdit*>("lineEdit_MX_B_M")->setText(QStringLiteral("0"));
        b->findChild<QLineEdit*>("lineEdit_B_C1")->setText(QStringLiteral("7"));
        b->findChild<QCheckBox*>("checkBox_LowState")->setChecked(true);
        b->findChild<QLineEdit*>("lineEdit_Low")->setText(QStringLiteral("-5"));
        b->pt_OK_clicked();
        return b->result();
    });
    add->pt_Batch_clicked();
    QCOMPARE(offeredTypes, m_Driver->TypeList(101));
    QVERIFY(enabledB);
    QVERIFY(!enabledR0);

    for (int row : {0, 1}) {
        QCOMPARE(add->cellText(row, ChannelConfigAdd::ColType), QStringLiteral("热敏电阻"));
        QCOMPARE(add->cellText(row, ChannelConfigAdd::ColFunction), QStringLiteral("R(T)"));
        QCOMPARE(add->cellText(row, ChannelConfigAdd::ColWire), QStringLiteral("四线制"));
        QCOMPARE(add->cellText(row, ChannelConfigAdd::ColUnit), QStringLiteral("Ω"));
        QCOMPARE(add->cellText(row, ChannelConfigAdd::ColM), QStringLiteral("0")); // "0" for M is written
        QCOMPARE(add->cellText(row, ChannelConfigAdd::ColB_C1), QStringLiteral("7"));
        QCOMPARE(add->cellText(row, ChannelConfigAdd::ColLow), QStringLiteral("-5"));
        QVERIFY(add->isChecked(row, ChannelConfigAdd::ColLowState));
        QVERIFY(!add->isChecked(row, ChannelConfigAdd::ColHightState));
        QCOMPARE(add->cellText(row, ChannelConfigAdd::ColHight), QStringLiteral("100"));
    }
    // "0" for a coefficient keeps what the row had.
    QCOMPARE(add->cellText(0, ChannelConfigAdd::ColA_C0), QStringLiteral("5"));
    QCOMPARE(add->cellText(1, ChannelConfigAdd::ColA_C0), QStringLiteral("0"));
    // The row not selected is untouched.
    QCOMPARE(add->cellText(2, ChannelConfigAdd::ColType), QStringLiteral("铂电阻"));
    QCOMPARE(add->cellText(2, ChannelConfigAdd::ColM), QStringLiteral("1"));
    QVERIFY(!add->isChecked(2, ChannelConfigAdd::ColLowState));
}

void TestChannelEditors::batchCancelledAndNumbers()
{
    ChannelConfigAdd* add = makeAdd(QStringLiteral("3108A"), 2);
    add->pt_All_clicked();
    ModalRun::setRunner([&](QDialog* dialog) {
        auto* b = qobject_cast<ChannelConfigBatch*>(dialog);
        b->findChild<QLineEdit*>("lineEdit_Hight")->setText(QStringLiteral("-"));
        b->pt_OK_clicked(); // refused: not a number
        return b->result();
    });
    add->pt_Batch_clicked();
    QCOMPARE(MessageBox::last().text, QStringLiteral("请输入有效的数值！"));
    QCOMPARE(add->cellText(0, ChannelConfigAdd::ColHight), QStringLiteral("100"));
    QCOMPARE(add->cellText(0, ChannelConfigAdd::ColType), QStringLiteral("铂电阻"));
}

void TestChannelEditors::importFallBack()
{
    const QString path = m_Dir->file(QStringLiteral("old.ini"));
    {
        QSettings ini(path, QSettings::IniFormat);
        ini.setIniCodec("UTF-8");
        ini.setValue(QStringLiteral("Standardizer/B0"), QStringList{"1.5", "2.5"});
        ini.setValue(QStringLiteral("Standardizer/B1"), QStringList{"-0.25", "0.5"});
        ini.setValue(QStringLiteral("Standardizer/B2"), QStringList{"3", "4"});
        ini.setValue(QStringLiteral("Standardizer/B3"), QStringList{"5"});
        ini.setValue(QStringLiteral("Standardizer/R0_C4"), QStringList{"100", "1000"});
        ini.setValue(QStringLiteral("Standardizer/MX_B_M"), QStringList{"1.001", "0.999"});
        ini.setValue(QStringLiteral("Standardizer/MX_B_B"), QStringList{"-0.01", "0.02"});
    }
    ChannelConfigAdd* add = makeAdd(QStringLiteral("3107A-NTC"), 3);
    edit(*add, 0, ChannelConfigAdd::ColTag, QStringLiteral("kept"));
    FileDialog::queueAnswer(path);
    add->pt_Import_clicked();
    QCOMPARE(FileDialog::asked().last().caption, QStringLiteral("打开文件"));
    QCOMPARE(FileDialog::asked().last().filter, QStringLiteral("Config Files (*.ini)"));
    const Tool::Struct_ChannelConfig r = add->record();
    QCOMPARE(r.A_C0, (QStringList{"1.5", "2.5", "0"}));
    QCOMPARE(r.B_C1, (QStringList{"-0.25", "0.5", "0"}));
    QCOMPARE(r.C_C2, (QStringList{"3", "4", "0"}));
    QCOMPARE(r.D_C3, (QStringList{"5", "0", "0"}));
    QCOMPARE(r.R0_C4, (QStringList{"100", "1000", "0"}));
    QCOMPARE(r.MX_B_M, (QStringList{"1.001", "0.999", "1"}));
    QCOMPARE(r.MX_B_B, (QStringList{"-0.01", "0.02", "0"}));
    QCOMPARE(r.Tag.first(), QStringLiteral("kept"));
    QCOMPARE(r.Type.first(), QStringLiteral("热敏电阻"));

    // A cancelled file choice changes nothing and says nothing.
    MessageBox::clear();
    FileDialog::queueAnswer(QString());
    add->pt_Import_clicked();
    QVERIFY(MessageBox::shown().isEmpty());
}

void TestChannelEditors::importRefusesBadFile()
{
    const QString path = m_Dir->file(QStringLiteral("bad.ini"));
    {
        QSettings ini(path, QSettings::IniFormat);
        ini.setValue(QStringLiteral("Standardizer/A_C0"), QStringList{"1", "x,y"});
        ini.setValue(QStringLiteral("Standardizer/MX_B_M"), QStringList{"2", "2"});
    }
    ChannelConfigAdd* add = makeAdd(QStringLiteral("3108A"), 2);
    FileDialog::queueAnswer(path);
    add->pt_Import_clicked();
    QCOMPARE(MessageBox::last().text, QStringLiteral("参数文件中有无效数值!"));
    QCOMPARE(add->cellText(0, ChannelConfigAdd::ColM), QStringLiteral("1"));
    QCOMPARE(add->cellText(0, ChannelConfigAdd::ColA_C0), QStringLiteral("0"));

    FileDialog::queueAnswer(m_Dir->file(QStringLiteral("missing.ini")));
    add->pt_Import_clicked();
    QCOMPARE(MessageBox::last().text, QStringLiteral("读取文件失败!"));
}

void TestChannelEditors::saveChecks()
{
    // Each refusal in its order; the dialog stays open and nothing is stored.
    ChannelConfigAdd* add = makeAdd(QStringLiteral("3107A-TC"), 3);
    edit(*add, 2, ChannelConfigAdd::ColNumber, QStringLiteral("101"));
    edit(*add, 1, ChannelConfigAdd::ColNumber, QStringLiteral("116"));
    add->pt_Save_clicked();
    QCOMPARE(MessageBox::last().text, QStringLiteral("通道编号不能重复！"));
    edit(*add, 2, ChannelConfigAdd::ColNumber, QStringLiteral("103"));
    add->pt_Save_clicked();
    QCOMPARE(MessageBox::last().text, QStringLiteral("通道编号需要递增！"));
    edit(*add, 1, ChannelConfigAdd::ColNumber, QStringLiteral("102"));
    QCOMPARE(TestSupport::scalar(QStringLiteral("select count(*) from ChannelConfig")).toInt(), 0);
    QCOMPARE(add->result(), int(QDialog::Rejected));

    // The driver's own check: a 3107A takes one unit for all channels. The
    // unit editor is closed on a 3107A, so the cell is set directly.
    Tool::Struct_ChannelConfig twoUnits = header(QStringLiteral("u"), QStringLiteral("3107A-RTD"), 2);
    std::unique_ptr<Collection> rtd(ChannelModel::createCollection(QStringLiteral("3107A-RTD")));
    ChannelConfigAdd units;
    units.setData(rtd.get(), twoUnits);
    units.table()->item(1, ChannelConfigAdd::ColUnit)->setText(QStringLiteral("Ω"));
    units.pt_Save_clicked();
    QCOMPARE(MessageBox::last().text, QStringLiteral("单位不许超过1个！"));

    // A store failure is reported, the dialog stays open.
    TestSupport::closeDatabase();
    add->pt_Save_clicked();
    QCOMPARE(MessageBox::last().text, QStringLiteral("添加数据失败！"));
    QCOMPARE(MessageBox::last().title, QStringLiteral("警告"));
    QCOMPARE(add->result(), int(QDialog::Rejected));

    QVERIFY(TestSupport::openDatabase());
    add->pt_Save_clicked();
    QCOMPARE(MessageBox::last().text, QStringLiteral("添加成功！"));
    QCOMPARE(add->result(), int(QDialog::Accepted));

    QString message;
    QVERIFY(ChannelConfigAdd::checkNumbers({"101", "105", "126"}, message));
    QVERIFY(!ChannelConfigAdd::checkNumbers({"103", "102"}, message));
    QCOMPARE(message, QStringLiteral("通道编号需要递增！"));
}

void TestChannelEditors::endToEndThroughThePage()
{
    // The page runs the two steps; a 16-channel 3107A-TC configuration is
    // stored and shown.
    ChannelConfig page;
    int addRuns = 0;
    ModalRun::setRunner([&](QDialog* dialog) {
        if (auto* fresh = qobject_cast<ChannelConfigNew*>(dialog)) {
            fresh->findChild<QLineEdit*>("lineEdit_Name")->setText(QStringLiteral("TC16"));
            fresh->findChild<QComboBox*>("comboBox_Mode")->setCurrentText(QStringLiteral("3107A-TC"));
            fresh->findChild<QLineEdit*>("lineEdit_Number")->setText(QStringLiteral("16"));
            fresh->pt_Next_clicked();
            if (fresh->result() != QDialog::Accepted) // the table was cancelled once: try again
                fresh->pt_Next_clicked();
            return fresh->result();
        }
        if (auto* add = qobject_cast<ChannelConfigAdd*>(dialog)) {
            if (++addRuns == 1) {
                add->pt_Cancel_clicked();
                return add->result();
            }
            add->pt_Save_clicked();
            return add->result();
        }
        return int(QDialog::Rejected);
    });
    page.pt_New_clicked();
    QCOMPARE(addRuns, 2);
    QCOMPARE(page.findChild<QLineEdit*>("lineEdit_Name")->text(), QStringLiteral("TC16"));
    QCOMPARE(page.findChild<QLineEdit*>("lineEdit_Mode")->text(), QStringLiteral("3107A-TC"));
    QCOMPARE(page.findChild<QTableWidget*>("tableWidget_List")->rowCount(), 16);
    QList<Tool::Struct_ChannelConfig> stored;
    QVERIFY(Tool::getChannelConfig(stored, QStringLiteral("TC16")));
    QCOMPARE(stored.size(), 1);
    QCOMPARE(stored.first().Number, 16);
    QCOMPARE(stored.first().ChannelNumber.last(), QStringLiteral("116"));
    QCOMPARE(stored.first().CompensationWay, QStringLiteral("内部补偿"));
}

void TestChannelEditors::openDialog()
{
    QVERIFY(Tool::addChannelConfig(header(QStringLiteral("one"), QStringLiteral("3108A"), 1)));
    QVERIFY(Tool::addChannelConfig(header(QStringLiteral("two"), QStringLiteral("3107A-TC"), 1)));
    ChannelConfig page;
    ModalRun::setRunner([](QDialog* dialog) {
        auto* open = qobject_cast<ChannelConfigOpen*>(dialog);
        if (!open || open->table()->rowCount() != 2)
            return int(QDialog::Rejected);
        open->pt_TableWidget_clicked(1, 1);
        return open->result();
    });
    page.pt_Open_clicked();
    QCOMPARE(page.findChild<QLineEdit*>("lineEdit_Name")->text(), QStringLiteral("two"));
}

void TestChannelEditors::confirmationCells_data()
{
    QTest::addColumn<int>("precision");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("lowOn");
    QTest::addColumn<QString>("low");
    QTest::addColumn<bool>("highOn");
    QTest::addColumn<QString>("high");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("plain") << 2 << "25.000000" << false << "30" << false << "20" << "25.00℃" << QColor();
    QTest::newRow("below low") << 1 << "25.000000" << true << "30" << false << "20" << "25.0℃" << QColor(0, 0, 255);
    QTest::newRow("above high") << 3 << "25.123400" << false << "30" << true << "20" << "25.123℃" << QColor(255, 0, 0);
    QTest::newRow("both, red wins") << 0 << "25.4" << true << "30" << true << "20" << "25℃" << QColor(255, 0, 0);
    QTest::newRow("on the limits") << 1 << "20" << true << "20" << true << "20" << "20.0℃" << QColor();
}

void TestChannelEditors::confirmationCells()
{
    QFETCH(int, precision);
    QFETCH(QString, value);
    QFETCH(bool, lowOn);
    QFETCH(QString, low);
    QFETCH(bool, highOn);
    QFETCH(QString, high);
    QFETCH(QString, text);
    QFETCH(QColor, colour);
    Tool::Struct_ChannelConfig c = header(QStringLiteral("c"), QStringLiteral("3107A-TC"), 1);
    c.Tag = QStringList{QStringLiteral("CH101")};
    c.Unit = QStringList{QStringLiteral("℃")};
    c.LowState = {lowOn};
    c.Low = QStringList{low};
    c.HightState = {highOn};
    c.Hight = QStringList{high};
    const ParametersTemp::Cell cell = ParametersTemp::cell(precision, c, {value}, 0);
    QCOMPARE(cell.tag, QStringLiteral("CH101"));
    QCOMPARE(cell.text, text);
    QCOMPARE(cell.colour, colour);

    ParametersTemp dialog;
    dialog.setData(precision, c, {value});
    QCOMPARE(dialog.table()->rowCount(), 1);
    QCOMPARE(dialog.table()->item(0, 1)->text(), text);
    QCOMPARE(dialog.size(), QSize(320, 400));
}

QTEST_MAIN(TestChannelEditors)
#include "tst_channeleditors.moc"
