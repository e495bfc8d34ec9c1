// The runtime stand-in: allocator accounting, the growable array's growth and ownership rules,
// MurmurHash2 against its published verification value, byte order and the string helpers.

#include "byte_order.h"
#include "growable_array.h"
#include "murmur_hash2.h"
#include "str_tools.h"
#include "test_support.h"

#include <cstring>

namespace {

struct Record
{
    uint8 bytes[408];
};

// An element that owns storage of its own, like a connection record with its sample array.
struct Owner
{
    int32 nId = 0;
    GrowableArray<Record> records;
};

} // namespace

class TestBedrock : public QObject
{
    Q_OBJECT

private slots:
    void allocatorCountsLiveBlocksAndBytesWithinItsLimit()
    {
        AllocationSnapshot before;
        void *a = g_pMemAlloc->Alloc(100);
        void *b = g_pMemAlloc->Alloc(28);
        QCOMPARE(before.LeakedBlocks(), int64(2));
        QCOMPARE(before.LeakedBytes(), int64(128));
        a = g_pMemAlloc->Realloc(a, 1000);
        QVERIFY(a);
        QCOMPARE(before.LeakedBytes(), int64(1028));
        QCOMPARE(g_pMemAlloc->Realloc(b, 0), nullptr); // frees
        g_pMemAlloc->Free(a);
        g_pMemAlloc->Free(nullptr);
        GPUPROF_COMPARE_NO_LEAKS(before);

        // A limit fails allocations as exhaustion would.
        g_pMemAlloc->SetAllocationLimit(1024);
        void *small = g_pMemAlloc->Alloc(1024);
        QVERIFY(small);
        QCOMPARE(g_pMemAlloc->Alloc(1025), nullptr);
        // A failed grow keeps the old block intact.
        std::memset(small, 0x5A, 1024);
        QCOMPARE(g_pMemAlloc->Realloc(small, 4096), nullptr);
        QCOMPARE(static_cast<unsigned char *>(small)[1023], 0x5A);
        QCOMPARE(g_pMemAlloc->Alloc(size_t(-1)), nullptr);
        g_pMemAlloc->SetAllocationLimit(0);
        QCOMPARE(g_pMemAlloc->Alloc(size_t(-1)), nullptr); // overflow of the block header
        g_pMemAlloc->Free(small);
        GPUPROF_COMPARE_NO_LEAKS(before);
    }

    void arrayGrowth_data()
    {
        // clang-format off
        QTest::addColumn<QList<int>>("counts");
        QTest::addColumn<QString>("capacities");
        QTest::newRow("first allocation holds one") << QList<int>{1} << "1";
        QTest::newRow("then doubles") << QList<int>{1, 2, 3, 5, 9} << "1 2 4 8 16";
        QTest::newRow("first allocation as large as asked") << QList<int>{5, 6} << "5 10";
        QTest::newRow("doubling until it fits") << QList<int>{1, 7} << "1 8";
        QTest::newRow("shrinking keeps storage") << QList<int>{4, 0, 2} << "4 4 4";
        QTest::newRow("negative count is zero") << QList<int>{-3} << "0";
        // clang-format on
    }

    void arrayGrowth()
    {
        QFETCH(QList<int>, counts);
        QFETCH(QString, capacities);
        GrowableArray<int32> array;
        QStringList trace;
        for (int n : counts) {
            array.SetCount(n);
            trace << QString::number(array.Capacity());
        }
        QCOMPARE(trace.join(' '), capacities);
    }

    // The array's storage: swapped without copying, elements that own storage moved and
    // released, contents kept on growth and removal, exact and failed growth; nothing leaks.
    void arrayStorage()
    {
        AllocationSnapshot before;
        {
            GrowableArray<Record> full;
            full.SetCount(3);
            full[2].bytes[0] = 7;
            const Record *pStorage = full.Base();
            GrowableArray<Record> empty;
            const int64 nAllocations = g_pMemAlloc->GetAllocationCount();
            empty.Swap(full);
            QCOMPARE(g_pMemAlloc->GetAllocationCount(), nAllocations);
            QCOMPARE(empty.Base(), pStorage);
            QCOMPARE(empty.Count(), 3);
            QCOMPARE(empty.Capacity(), 3);
            QCOMPARE(empty[2].bytes[0], uint8(7));
            QCOMPARE(full.Count(), 0);
            QCOMPARE(full.Capacity(), 0);
            QCOMPARE(full.Base(), nullptr);

            // Elements that own storage: moved on growth and removal, all released in the end.
            GrowableArray<Owner> owners;
            for (int32 i = 0; i < 9; ++i) { // forces several moves of the owners
                const int32 n = owners.AddToTail();
                owners[n].nId = i;
                owners[n].records.EnsureCapacity(4 + i);
            }
            owners.Remove(3);
            QCOMPARE(owners[3].nId, 4);
            QCOMPARE(owners[3].records.Capacity(), 8);
            owners.SetCount(5);

            // Growth keeps the contents and zeroes new elements; removal keeps the order.
            GrowableArray<int32> array;
            for (int32 i = 0; i < 100; ++i)
                QCOMPARE(array.AddToTail(i * 3), i);
            array.SetCount(200);
            for (int32 i = 0; i < 200; ++i)
                QCOMPARE(array[i], i < 100 ? i * 3 : 0);
            array.SetCount(4);
            array.Remove(1);
            array.Remove(7); // out of range: nothing
            array.Remove(-1); // likewise
            QCOMPARE(array.Count(), 3);
            QCOMPARE(QList<int>({array[0], array[1], array[2]}), QList<int>({0, 6, 9}));
            array.Remove(2);
            QCOMPARE(array.Count(), 2);
            QCOMPARE(array[1], 6);

            // Capacity asked for is exact; growth that fails changes nothing.
            GrowableArray<Record> big;
            QVERIFY(big.EnsureCapacity(1024));
            QCOMPARE(big.Capacity(), 1024);
            QCOMPARE(big.Count(), 0);
            QVERIFY(big.EnsureCapacity(10)); // never shrinks
            QCOMPARE(big.Capacity(), 1024);
            QVERIFY(big.SetCount(1025));
            QCOMPARE(big.Capacity(), 2048);

            GrowableArray<Record> records;
            records.SetCount(2);
            g_pMemAlloc->SetAllocationLimit(4 * sizeof(Record));
            QVERIFY(!records.SetCount(100));
            QVERIFY(!records.EnsureCapacity(5));
            g_pMemAlloc->SetAllocationLimit(0);
            QCOMPARE(records.Count(), 2);
            QCOMPARE(records.Capacity(), 2);
            QVERIFY(!records.SetCount(std::numeric_limits<int32>::max())); // 876 GB of records
            QCOMPARE(records.Count(), 2);
        }
        GPUPROF_COMPARE_NO_LEAKS(before);
    }

    // SMHasher's verification: hash keys {0}, {0,1}, ... {0..254} with seeds 256, 255, ... 1,
    // hash the 256 results (little-endian) with seed 0.
    void murmurHash2AndByteOrder()
    {
        uint8 key[256];
        uint8 hashes[256 * 4];
        for (int i = 0; i < 256; ++i) {
            key[i] = uint8(i);
            StoreLittleEndian32(hashes + 4 * i, MurmurHash2(key, i, uint32(256 - i)));
        }
        QCOMPARE(MurmurHash2(hashes, int(sizeof(hashes)), 0), 0x27864C1Eu);

        // Byte order round trips at odd addresses.
        alignas(8) uint8 buffer[32] = {};
        uint8 *p = buffer + 3;
        StoreBigEndian64(p, 0x0102030405060708ull);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(p), 8).toHex(), QByteArray("0102030405060708"));
        QCOMPARE(LoadBigEndian64(p), 0x0102030405060708ull);
        StoreBigEndianDouble(p + 9, 0.001);
        QCOMPARE(LoadBigEndianDouble(p + 9), 0.001);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(p + 9), 8).toHex(), QByteArray("3f50624dd2f1a9fc"));
        StoreLittleEndian32(p + 1, 0x80000009u);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(p + 1), 4).toHex(), QByteArray("09000080"));
        QCOMPARE(LoadBigEndian32(p + 1), 0x09000080u);
        QCOMPARE(LoadBigEndian16(p + 1), uint16(0x0900));
        QCOMPARE(LoadLittleEndian16(p + 1), uint16(0x0009));
    }

    void strFormatAndCopyAreBounded_data()
    {
        // clang-format off
        QTest::addColumn<int>("capacity");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("fits") << 32 << QByteArray("<= 256 KB");
        QTest::newRow("exact") << 10 << QByteArray("<= 256 KB");
        QTest::newRow("cut") << 6 << QByteArray("<= 25");
        QTest::newRow("terminator only") << 1 << QByteArray("");
        // clang-format on
    }

    void strFormatAndCopyAreBounded()
    {
        QFETCH(int, capacity);
        QFETCH(QByteArray, expected);
        char buffer[40];
        std::memset(buffer, 'x', sizeof(buffer));
        QCOMPARE(StrFormat(buffer, size_t(capacity), "<= %d %s", 256, "KB"), int(expected.size()));
        QCOMPARE(QByteArray(buffer), expected);
        QCOMPARE(buffer[capacity], 'x');

        std::memset(buffer, 'x', sizeof(buffer));
        QCOMPARE(StrCopy(buffer, size_t(capacity), "<= 256 KB"), size_t(expected.size()));
        QCOMPARE(QByteArray(buffer), expected);
        QCOMPARE(buffer[capacity], 'x');
    }

    // Where each search finds its result in the text: StrFindCaseless the needle (-1: not at
    // all), StrAfterLastSeparator the leaf of a path (needle empty).
    void strSearches_data()
    {
        // clang-format off
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("needle");
        QTest::addColumn<int>("position");
        QTest::newRow("caseless, middle") << QByteArray("MyVertexData") << QByteArray("VERTEX") << 2;
        QTest::newRow("caseless, start") << QByteArray("abc") << QByteArray("A") << 0;
        QTest::newRow("caseless, absent") << QByteArray("abc") << QByteArray("abcd") << -1;
        QTest::newRow("caseless, partial overlap") << QByteArray("aaab") << QByteArray("AAB") << 1;
        QTest::newRow("caseless, empty text") << QByteArray("") << QByteArray("a") << -1;
        QTest::newRow("leaf of a path") << QByteArray("#Main/Opaque/Draw world") << QByteArray() << 13;
        QTest::newRow("leaf after a backslash") << QByteArray("a\\b/c\\leaf") << QByteArray() << 6;
        QTest::newRow("leaf without separator") << QByteArray("Shadow") << QByteArray() << 0;
        QTest::newRow("leaf after a trailing one") << QByteArray("a/b/") << QByteArray() << 4;
        // clang-format on
    }

    void strSearches()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, needle);
        QFETCH(int, position);
        const char *pszText = text.constData();
        const char *pFound = needle.isNull() ? StrAfterLastSeparator(pszText) : StrFindCaseless(pszText, needle.constData());
        QCOMPARE(pFound ? int(pFound - pszText) : -1, position);
        // An empty needle is found at the start.
        QCOMPARE(StrFindCaseless(pszText, ""), pszText);
    }
};

GPUPROF_TEST_MAIN(TestBedrock)
#include "tst_bedrock.moc"
