// The "Textures" tab: rows with their computed sizes and texts, the kind and flag filters with
// the tri-state cycle and the masks it produces, status texts and saturating totals, and cut or
// forged payloads. What the tab shares with the buffer list is tested there.

#include "list_count_bound.h"
#include "model_dump.h"
#include "resource_list_roles.h"
#include "resource_payload_builder.h"
#include "test_support.h"
#include "texture_list_sort_filter_proxy_model.h"
#include "texture_list_widget.h"
#include "tri_state_check_box.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QToolBar>
#include <QTreeView>

namespace {

void Update(CQTextureListWidget &widget, const PayloadBuilder &payload)
{
    widget.UpdateTextureList(payload.Data(), payload.Size());
}

struct Fixture
{
    CQTextureListWidget widget;
    QAbstractItemModelTester tester{widget.Model(), QAbstractItemModelTester::FailureReportingMode::QtTest};

    // Shows the textures, if any, as the first list.
    explicit Fixture(const std::vector<TextureDesc> &textures = {})
    {
        widget.View()->sortByColumn(0, Qt::AscendingOrder);
        if (!textures.empty())
            Update(widget, PayloadBuilder::Textures(textures));
    }
};

} // namespace

class TestTextureList : public QObject
{
    Q_OBJECT

private slots:
    void rowsShowTheirRecords()
    {
        Fixture f;
        QCOMPARE(DumpHeader(f.widget.Model()),
                 QStringLiteral("Name;Format;Type;Disk Dim;Disk Mips;Disk Size;Res Dim;Res Mips;Res Size;FB;RT;Pinned"));
        QCOMPARE(f.widget.StatusLabel()->text(),
                 QStringLiteral("0/0 Textures, 0.00/0.00 MB Disk Texture Data, 0.00/0.00 MB GPU-Resident Texture Data"));
        TextureDesc t = MakeTexture("", 0x0472, 512, 256, 15, 1, 10);
        t.resWidth = 128;
        t.resHeight = 64;
        t.resDepth = 0;
        t.resMips = 8;
        // A volume shows its depth; a format without an entry its number; sizes past 4 GB whole.
        Update(f.widget,
               PayloadBuilder::Textures({t, MakeTexture("plain", 0x0002, 8, 8, -1), MakeTexture("volume", 0x0004, 4, 4, 100, 8),
                                         MakeTexture("huge", 0x0002, 16384, 16384, 29, 2)}));
        QCOMPARE(DumpRows(f.widget.Model()),
                 QStringLiteral("<unnamed>;DXT5;2D ARRAY;512x256;10;170 KB;128x64;8;0 KB;X;X;X | "
                                "huge;RGBA32323232F;2D;16384x16384x2;1;8,388,608 KB;16384x16384x2;1;8,388,608 KB;;; | "
                                "plain;UNKNOWN;2D;8x8;1;0 KB;8x8;1;0 KB;;; | "
                                "volume;UNKNOWN (100);VOLUME;4x4x8;1;0 KB;4x4x8;1;0 KB;;;"));
        const QAbstractItemModel *pModel = f.widget.Model();
        auto cell = [&](int nCol, int nRole) { return pModel->index(0, nCol).data(nRole); };
        QCOMPARE(cell(0, TypeBitsRole).toUInt(), 0x0472u);
        // 512x256 DXT5, 10 levels: 128*64 + 64*32 + ... + 1*1 blocks, 16 bytes each.
        const qulonglong nBlocks = 8192 + 2048 + 512 + 128 + 32 + 8 + 2 + 1 + 1 + 1;
        QCOMPARE(cell(5, SortRole), QVariant(nBlocks * 16));
        QCOMPARE(cell(4, SortRole), QVariant(int(10)));
        QCOMPARE(cell(3, SortRole), QVariant(QStringLiteral("512x256")));
        const int centred[] = {3, 6, 9, 10, 11};
        const int right[] = {4, 5, 7, 8};
        for (int nCol : centred)
            QCOMPARE(cell(nCol, Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
        for (int nCol : right)
            QCOMPARE(cell(nCol, Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));
        for (int nCol = 0; nCol < 12; ++nCol)
            QVERIFY(!(pModel->flags(pModel->index(0, nCol)) & Qt::ItemIsEditable));
        // Dimensions sort as their texts, sizes as numbers.
        f.widget.View()->sortByColumn(3, Qt::AscendingOrder);
        QCOMPARE(DumpColumn(f.widget.Model(), 3), QStringLiteral("16384x16384x2,4x4x8,512x256,8x8"));
        f.widget.View()->sortByColumn(5, Qt::DescendingOrder);
        QVERIFY(DumpColumn(f.widget.Model(), 0).startsWith(QStringLiteral("huge,<unnamed>,")));
        // An unnamed texture matches the name it is shown with.
        f.widget.FilterEdit()->setText(QStringLiteral("<UN"));
        QCOMPARE(DumpColumn(f.widget.Model(), 0), QStringLiteral("<unnamed>"));

        // Status texts: filtered and whole totals, saturating sums, cut and forged payloads.
        // 1024x512 RGBA8888 single level: 2 MB on disk; resident 512x512: 1 MB.
        TextureDesc big = MakeTexture("big", 0x0002, 1024, 512, 0);
        big.resWidth = 512;
        Fixture st({big, MakeTexture("cube", 0x0008, 512, 512, 0), MakeTexture("1d", 0x0001, 256, 1024, 0)});
        QCOMPARE(st.widget.StatusLabel()->text(),
                 QStringLiteral("2/3 Textures, 3.00/4.00 MB Disk Texture Data, 2.00/3.00 MB GPU-Resident Texture Data"));
        st.widget.CubemapBox()->setChecked(true);
        QCOMPARE(st.widget.StatusLabel()->text(),
                 QStringLiteral("1/3 Textures, 1.00/4.00 MB Disk Texture Data, 1.00/3.00 MB GPU-Resident Texture Data"));
        QCOMPARE(st.widget.TotalTextureCount(), int64(3));

        // Sums of forged sizes stay at the largest value instead of wrapping round to a small one:
        // 5,000 textures of 65535x65535x65535 at 16 bytes a pixel hold far more than 2^64 bytes.
        st.widget.CubemapBox()->setChecked(false);
        const std::vector<TextureDesc> huge(5000, MakeTexture("huge", 2, 65535, 65535, 29, 65535));
        Update(st.widget, PayloadBuilder::Textures(huge));
        QCOMPARE(st.widget.TotalDiskBytes(), ~uint64(0));
        QCOMPARE(st.widget.TotalResidentBytes(), ~uint64(0));
        QCOMPARE(st.widget.StatusLabel()->text(),
                 QStringLiteral("5000/5000 Textures, 17592186044416.00/17592186044416.00 MB Disk Texture Data, "
                                "17592186044416.00/17592186044416.00 MB GPU-Resident Texture Data"));

        // Cut and forged payloads.
        AllocationSnapshot snapshot;
        {
            Fixture c;
            // Cut inside the second record: it and the third stay blank, shown as RGBA8888
            // without a kind, so no kind filter lets them through.
            Update(c.widget,
                   PayloadBuilder().Count(3).Texture(MakeTexture("first", 2)).Texture(MakeTexture("second", 2)).Truncate(4 + 18 + 6 + 10));
            QCOMPARE(c.widget.TotalTextureCount(), int64(3));
            QCOMPARE(DumpColumn(c.widget.Model(), 0), QStringLiteral("first"));
            QStringList blank;
            for (int nCol = 0; nCol < kTextureColCount; ++nCol)
                blank << CQTextureListSortFilterProxyModel::CellText(c.widget.Model()->List(), 1, nCol);
            QCOMPARE(blank.join(QLatin1Char(';')), QStringLiteral("<unnamed>;RGBA8888;;0x0;0;0 KB;0x0;0;0 KB;;;"));
            QCOMPARE(c.widget.StatusLabel()->text().section(QLatin1Char(' '), 0, 0), QStringLiteral("1/3"));

            Update(c.widget, PayloadBuilder().Count(0x7fffffff).Zeros(16));
            QCOMPARE(c.widget.TotalTextureCount(), int64(kMaxRowsPastPayload));
            QVERIFY(c.widget.StatusLabel()->text().endsWith(QStringLiteral("(list cut: 2,147,483,647 announced, 1,024 kept)")));

            c.widget.UpdateTextureList(nullptr, 0);
            QCOMPARE(c.widget.TotalTextureCount(), int64(0));
            QCOMPARE(c.widget.StatusLabel()->text(),
                     QStringLiteral("0/0 Textures, 0.00/0.00 MB Disk Texture Data, 0.00/0.00 MB GPU-Resident Texture Data"));
        }
        GPUPROF_COMPARE_NO_LEAKS(snapshot);
    }

    void kindTexts_data()
    {
        // clang-format off
        QTest::addColumn<int>("flags");
        QTest::addColumn<QString>("text");
        QTest::newRow("none") << 0x0000 << "";
        QTest::newRow("1D") << 0x0001 << "1D";
        QTest::newRow("2D") << 0x0002 << "2D";
        QTest::newRow("volume") << 0x0004 << "VOLUME";
        QTest::newRow("2D and cube") << 0x000a << "CUBEMAP";
        QTest::newRow("cube array") << 0x0018 << "CUBEMAP ARRAY";
        QTest::newRow("array alone") << 0x0010 << " ARRAY";
        QTest::newRow("1D and volume") << 0x0005 << "VOLUME";
        QTest::newRow("other bits") << 0xf8e0 << "";
        // clang-format on
    }

    void kindTexts()
    {
        QFETCH(int, flags);
        QFETCH(QString, text);
        char szText[kSortTextCapacity];
        QCOMPARE(QString::fromLatin1(szText, TextureKindText(uint32(flags), szText)), text);
    }

    void filters_data()
    {
        // clang-format off
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("kinds");      // bit 0 "2D", bit 1 "Volume", bit 2 "Cubemap"
        QTest::addColumn<QString>("triStates"); // per box (array, fallback, RT, no lod, auto-gen): p, c, u
        QTest::addColumn<QString>("names");
        const QString all = "2d,2d+cube,2d-array,2d-automip,2d-fb,2d-nolod,2d-pinned,2d-rt,cube,cube-array,cube-rt,vol";
        QTest::newRow("everything shown but 1D and kindless") << "" << 0 << "ppppp" << all;
        QTest::newRow("all kind boxes") << "" << 7 << "ppppp" << all;
        QTest::newRow("cubemap alone") << "" << 4 << "ppppp" << "2d+cube,cube,cube-array,cube-rt";
        QTest::newRow("volume alone") << "" << 2 << "ppppp" << "vol";
        QTest::newRow("2D") << "" << 1 << "ppppp" << "2d,2d+cube,2d-array,2d-automip,2d-fb,2d-nolod,2d-pinned,2d-rt";
        QTest::newRow("render target checked") << "" << 0 << "ppcpp" << "2d-rt,cube-rt";
        QTest::newRow("render target unchecked") << "" << 0 << "ppupp"
                                                 << "2d,2d+cube,2d-array,2d-automip,2d-fb,2d-nolod,2d-pinned,cube,cube-array,vol";
        QTest::newRow("array required") << "" << 0 << "cpppp" << "2d-array,cube-array";
        QTest::newRow("fallback required") << "" << 0 << "pcppp" << "2d-fb";
        QTest::newRow("no lod required") << "" << 0 << "pppcp" << "2d-nolod";
        QTest::newRow("auto-gen required") << "" << 0 << "ppppc" << "2d-automip";
        QTest::newRow("all excluded") << "" << 0 << "uuuuu" << "2d,2d+cube,2d-pinned,cube,vol";
        QTest::newRow("contradiction") << "" << 0 << "ccccc" << "";
        QTest::newRow("text, case-insensitive") << "CUBE" << 0 << "ppppp" << "2d+cube,cube,cube-array,cube-rt";
        QTest::newRow("text and flags") << "cube" << 1 << "ppcpp" << "";
        QTest::newRow("text matches <unnamed>") << "<UN" << 0 << "ppppp" << "";
        // clang-format on
    }

    void filters()
    {
        QFETCH(QString, text);
        QFETCH(int, kinds);
        QFETCH(QString, triStates);
        QFETCH(QString, names);
        // One texture per interesting flag combination, named after its flags.
        Fixture f({
            MakeTexture("1d", 0x0001),
            MakeTexture("2d", 0x0002),
            MakeTexture("vol", 0x0004),
            MakeTexture("cube", 0x0008),
            MakeTexture("2d+cube", 0x000a),
            MakeTexture("cube-array", 0x0018),
            MakeTexture("2d-array", 0x0012),
            MakeTexture("2d-fb", 0x0022),
            MakeTexture("2d-rt", 0x0042),
            MakeTexture("cube-rt", 0x0048),
            MakeTexture("2d-nolod", 0x0102),
            MakeTexture("2d-automip", 0x0202),
            MakeTexture("2d-pinned", 0x0402),
            MakeTexture("none", 0x0000),
        });
        f.widget.FilterEdit()->setText(text);
        f.widget.TwoDBox()->setChecked(kinds & 1);
        f.widget.VolumeBox()->setChecked(kinds & 2);
        f.widget.CubemapBox()->setChecked(kinds & 4);
        CQTriStateCheckBox *boxes[] = {f.widget.TextureArrayBox(), f.widget.FallbackBox(), f.widget.RenderTargetBox(), f.widget.NoLodBox(),
                                       f.widget.AutoGenMipsBox()};
        for (int i = 0; i < 5; ++i) {
            const QChar state = triStates.at(i);
            boxes[i]->setCheckState(state == 'c' ? Qt::Checked : state == 'u' ? Qt::Unchecked : Qt::PartiallyChecked);
        }
        QCOMPARE(DumpColumn(f.widget.Model(), 0), names);
        QCOMPARE(f.widget.StatusLabel()->text().section(QLatin1Char(' '), 0, 0),
                 QStringLiteral("%1/14").arg(names.isEmpty() ? 0 : names.count(QLatin1Char(',')) + 1));
    }

    // Clicks cycle partially checked -> checked -> unchecked -> partially checked, and each
    // state moves the box's bit between the required and the excluded flags.
    void triStateCycleAndMasks()
    {
        Fixture f;
        f.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.widget));
        // Texture Array, Fallback Texture, Render Target, No Lod, Auto-gen Mipmaps.
        const std::pair<CQTriStateCheckBox *, int> boxes[] = {{f.widget.TextureArrayBox(), 0x0010},
                                                              {f.widget.FallbackBox(), 0x0020},
                                                              {f.widget.RenderTargetBox(), 0x0040},
                                                              {f.widget.NoLodBox(), 0x0100},
                                                              {f.widget.AutoGenMipsBox(), 0x0200}};
        for (const auto &[pBox, bit] : boxes) {
            int nChanges = 0;
            connect(pBox, &QCheckBox::stateChanged, this, [&] { ++nChanges; });
            const struct
            {
                Qt::CheckState state;
                int required;
                int excluded;
            } steps[] = {{Qt::Checked, bit, 0}, {Qt::Unchecked, 0, bit}, {Qt::PartiallyChecked, 0, 0}, {Qt::Checked, bit, 0}};
            for (const auto &step : steps) {
                QTest::mouseClick(pBox, Qt::LeftButton, {}, pBox->rect().center());
                QCOMPARE(pBox->checkState(), step.state);
                QCOMPARE(f.widget.Model()->RequiredFlags(), step.required);
                QCOMPARE(f.widget.Model()->ExcludedFlags(), step.excluded);
            }
            QCOMPARE(nChanges, 4);
            pBox->setCheckState(Qt::PartiallyChecked); // the next box starts from no constraint
            pBox->disconnect(this);
        }
    }
};

GPUPROF_TEST_MAIN(TestTextureList)
#include "tst_texture_list.moc"
