// List cells answer every role a standard item would, and the proxies' direct comparison of
// their native sort values orders rows exactly as comparing the sort role's variants does.

#include "gpuprofiler/resources/buffer_list_sort_filter_proxy_model.h"
#include "gpuprofiler/resources/resource_list_item.h"
#include "gpuprofiler/resources/resource_list_roles.h"
#include "gpuprofiler/resources/texture_list_sort_filter_proxy_model.h"
#include "tests/support/test_support.h"

#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <QStandardItemModel>

#include <cmath>
#include <limits>

namespace {

// Order of the source rows after sorting column nColumn through pProxy.
QString SortedRows(QSortFilterProxyModel *pProxy, int nColumn, Qt::SortOrder order)
{
    pProxy->sort(nColumn, order);
    QStringList rows;
    for (int i = 0; i < pProxy->rowCount(); ++i)
        rows << QString::number(pProxy->mapToSource(pProxy->index(i, 0)).row());
    return rows.join(QLatin1Char(','));
}

} // namespace

class TestResourceListItem : public QObject
{
    Q_OBJECT

private slots:
    void answersLikeAStandardItem()
    {
        QStandardItemModel model;
        auto *pCell = new CQResourceListItem(QStringLiteral("12 KB"), qulonglong(12345), Qt::AlignRight | Qt::AlignVCenter);
        auto *pName = new CQResourceListItem(QStringLiteral("name"));
        pName->SetTypeBits(0x42);
        model.appendRow({pName, pCell});

        const QModelIndex cell = model.index(0, 1);
        QCOMPARE(cell.data().toString(), QStringLiteral("12 KB"));
        QCOMPARE(cell.data(Qt::EditRole).toString(), QStringLiteral("12 KB"));
        QCOMPARE(cell.data(SortRole), QVariant(qulonglong(12345)));
        QCOMPARE(cell.data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));
        QVERIFY(!cell.data(TypeBitsRole).isValid());
        QVERIFY(!cell.data(Qt::ToolTipRole).isValid());
        QCOMPARE(model.flags(cell), Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled);
        QCOMPARE(model.index(0, 0).data(TypeBitsRole), QVariant(uint(0x42)));
        QCOMPARE(model.index(0, 0).data(SortRole), QVariant(QStringLiteral("name")));
        QVERIFY(!model.index(0, 0).data(Qt::TextAlignmentRole).isValid());

        // Views fetch several roles at once.
        QModelRoleData roles[] = {QModelRoleData(Qt::DisplayRole), QModelRoleData(Qt::TextAlignmentRole),
                                  QModelRoleData(SortRole)};
        cell.multiData(roles);
        QCOMPARE(roles[0].data().toString(), QStringLiteral("12 KB"));
        QCOMPARE(roles[1].data().toInt(), int(Qt::AlignRight | Qt::AlignVCenter));
        QCOMPARE(roles[2].data(), QVariant(qulonglong(12345)));

        // Changes go through the model's signals and are seen afterwards.
        int nChanges = 0;
        connect(&model, &QAbstractItemModel::dataChanged, this, [&] { ++nChanges; });
        QVERIFY(model.setData(cell, QStringLiteral("13 KB")));
        model.setData(cell, int(7), SortRole);
        model.setData(cell, QStringLiteral("tip"), Qt::ToolTipRole);
        QCOMPARE(cell.data().toString(), QStringLiteral("13 KB"));
        QCOMPARE(cell.data(SortRole), QVariant(int(7)));
        QCOMPARE(cell.data(Qt::ToolTipRole).toString(), QStringLiteral("tip"));
        QCOMPARE(nChanges, 3);

        std::unique_ptr<QStandardItem> pClone(model.item(0, 1)->clone());
        QCOMPARE(pClone->data(SortRole), QVariant(int(7)));
        QCOMPARE(pClone->text(), QStringLiteral("13 KB"));
    }

    // Random columns of every kind, with ties, extremes and not-a-number values, sorted both
    // ways by the list proxies and by a plain proxy on the sort role: the orders agree.
    void directComparisonMatchesVariants()
    {
        QStandardItemModel model;
        QRandomGenerator random(1234);
        const float flNaN = std::numeric_limits<float>::quiet_NaN();
        const float flInf = std::numeric_limits<float>::infinity();
        for (int i = 0; i < 400; ++i) {
            const uint32 r = random.generate();
            const float floats[] = {flNaN, flInf, -1.5f, 0.0f, 25.0f, 100.0f, float(r % 1000) / 7.0f};
            const QString texts[] = {"b", "B", "a", "<unnamed>", "", QString::number(r % 50), "\u00e9t\u00e9"};
            auto *pName = new CQResourceListItem(texts[r % 7]);
            pName->SetTypeBits(1); // passes both proxies' filters
            model.appendRow({
                pName,
                new CQResourceListItem(QString(), int(r % 9) - 4, {}),
                new CQResourceListItem(QString(), uint(r % 13 == 0 ? 0xffffffffu : r % 100), {}),
                new CQResourceListItem(QString(), qulonglong(r % 11 == 0 ? ~0ull : (uint64(r) << 20) % 5000), {}),
                new CQResourceListItem(QString(), floats[(r >> 8) % 7], {}),
            });
        }
        CQBufferListSortFilterProxyModel bufferProxy;
        CQTextureListSortFilterProxyModel textureProxy;
        QSortFilterProxyModel plainProxy;
        QAbstractItemModelTester bufferTester(&bufferProxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModelTester textureTester(&textureProxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (QSortFilterProxyModel *pProxy : {static_cast<QSortFilterProxyModel *>(&bufferProxy),
                                              static_cast<QSortFilterProxyModel *>(&textureProxy), &plainProxy}) {
            pProxy->setSourceModel(&model);
            pProxy->setSortRole(SortRole);
        }
        for (int nColumn = 0; nColumn < 5; ++nColumn) {
            for (Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
                const QString expected = SortedRows(&plainProxy, nColumn, order);
                QCOMPARE(SortedRows(&bufferProxy, nColumn, order), expected);
                QCOMPARE(SortedRows(&textureProxy, nColumn, order), expected);
            }
        }
        // Case-insensitive and locale-aware text sorting follow the proxy's settings too.
        for (QSortFilterProxyModel *pProxy : {static_cast<QSortFilterProxyModel *>(&bufferProxy), &plainProxy})
            pProxy->setSortCaseSensitivity(Qt::CaseInsensitive);
        QCOMPARE(SortedRows(&bufferProxy, 0, Qt::AscendingOrder), SortedRows(&plainProxy, 0, Qt::AscendingOrder));
        for (QSortFilterProxyModel *pProxy : {static_cast<QSortFilterProxyModel *>(&textureProxy), &plainProxy})
            pProxy->setSortLocaleAware(true);
        QCOMPARE(SortedRows(&textureProxy, 0, Qt::DescendingOrder), SortedRows(&plainProxy, 0, Qt::DescendingOrder));
    }

    void otherItemsSortThroughVariants()
    {
        QStandardItemModel model;
        for (int v : {3, 1, 2}) {
            auto *pItem = new QStandardItem(QString::number(v));
            pItem->setData(v, SortRole);
            pItem->setData(1u, TypeBitsRole);
            model.appendRow(pItem);
        }
        // A list cell among plain items, and a text cell among numbers: both fall back.
        auto *pCell = new CQResourceListItem(QStringLiteral("0"), int(0), {});
        pCell->SetTypeBits(1);
        model.appendRow(pCell);
        model.item(2)->setData(QStringLiteral("2"), SortRole);
        CQBufferListSortFilterProxyModel proxy;
        QSortFilterProxyModel plain;
        for (QSortFilterProxyModel *pProxy : {static_cast<QSortFilterProxyModel *>(&proxy), &plain}) {
            pProxy->setSourceModel(&model);
            pProxy->setSortRole(SortRole);
        }
        QCOMPARE(SortedRows(&proxy, 0, Qt::AscendingOrder), SortedRows(&plain, 0, Qt::AscendingOrder));
    }

    void sortNumbers()
    {
        QCOMPARE(CQResourceListItem(QString(), int(-1), {}).SortNumber(), ~0ull);
        QCOMPARE(CQResourceListItem(QString(), uint(7), {}).SortNumber(), 7ull);
        QCOMPARE(CQResourceListItem(QString(), qulonglong(1ull << 40), {}).SortNumber(), 1ull << 40);
        QCOMPARE(CQResourceListItem(QString(), std::numeric_limits<float>::quiet_NaN(), {}).SortNumber(), 0ull);
        QCOMPARE(CQResourceListItem(QStringLiteral("12")).SortNumber(), 0ull);
    }
};

GPUPROF_TEST_MAIN(TestResourceListItem)
#include "tst_resource_list_item.moc"
