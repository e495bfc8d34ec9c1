// Loads the built plug-in as the host does (dlopen, CreateInterface) and calls it only through
// the interface tables it hands out, so that the binary interface itself is what is tested.

#include "external_subtool.h"
#include "fake_host.h"
#include "module_exports.h"
#include "test_support.h"

#include <QAction>

#include <dlfcn.h>

class TestModuleLoad : public QObject
{
    Q_OBJECT

    void *m_pModule = nullptr;

    template <typename Fn> Fn Resolve(const char *pszName) { return reinterpret_cast<Fn>(dlsym(m_pModule, pszName)); }

private slots:
    void initTestCase()
    {
        m_pModule = dlopen(GPUPROFILER_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
        QVERIFY2(m_pModule, dlerror());
    }

    void cleanupTestCase()
    {
        if (m_pModule)
            QCOMPARE(dlclose(m_pModule), 0);
    }

    // The binary properties a host reads before loading anything else.
    void binaryProperties_data()
    {
        // clang-format off
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("answered");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("value");
        QTest::newRow("0") << 0 << 1 << 0 << "Release";
        QTest::newRow("2") << 2 << 1 << 1 << "1";
        QTest::newRow("4") << 4 << 1 << 0 << "gpuprofiler_subtool";
        QTest::newRow("7") << 7 << 1 << 1 << "2";
        QTest::newRow("8") << 8 << 0 << -1 << "";
        QTest::newRow("-1") << -1 << 0 << -1 << "";
        QTest::newRow("most negative") << int(0x80000000) << 0 << -1 << "";
        // clang-format on
    }

    void binaryProperties()
    {
        QFETCH(int, id);
        QFETCH(int, answered);
        QFETCH(int, type);
        QFETCH(QString, value);
        BinaryPropertyValue_t out{0xABABABABABABABABull, 0xCDCDCDCDu};
        QCOMPARE(Resolve<BinaryPropertiesGetValueFn>(BINARYPROPERTIES_GETVALUE_EXPORT_NAME)(id, &out), answered);
        if (!answered) {
            QCOMPARE(out.m_nValue, 0xABABABABABABABABull);
            QCOMPARE(out.m_nType, 0xCDCDCDCDu);
            return;
        }
        QCOMPARE(int(out.m_nType), type);
        const QString text =
            type == 0 ? QString::fromLatin1(reinterpret_cast<const char *>(uintptr_t(out.m_nValue))) : QString::number(out.m_nValue);
        QCOMPARE(text, value);
    }

    // The export table's answers, then the subtool through its tables.
    void exportsAndSubtoolTables()
    {
        QCOMPARE(Resolve<GetResourceManifestCountFn>(GETRESOURCEMANIFESTCOUNT_EXPORT_NAME)(), 0);
        const void *manifests[2] = {};
        QCOMPARE(Resolve<GetResourceManifestsFn>(GETRESOURCEMANIFESTS_EXPORT_NAME)(0, manifests, 2), 0);

        auto pInstall = Resolve<InstallSchemaBindingsFn>(INSTALLSCHEMABINDINGS_EXPORT_NAME);
        QVERIFY(!pInstall("SchemaSystem_000", nullptr));
        QVERIFY(pInstall("SchemaSystem_001", nullptr));

        auto pCreate = Resolve<CreateInterfaceExportFn>(CREATEINTERFACE_EXPORT_NAME);
        int nCode = -1;
        QCOMPARE(pCreate("Corvid_SubTool_001_Other", &nCode), nullptr);
        QCOMPARE(nCode, 1);
        QCOMPARE(pCreate(nullptr, &nCode), nullptr);
        QCOMPARE(pCreate("", nullptr), nullptr);
        void *pObject = pCreate("Corvid_SubTool_001_GPUProfilerTool", &nCode);
        QVERIFY(pObject);
        QCOMPARE(nCode, 0);
        QCOMPARE(pCreate("Corvid_SubTool_001_GPUProfilerTool", nullptr), pObject); // the one object

        // The primary table is the app system's.
        auto *pApp = static_cast<IAppSystem *>(pObject);
        QVERIFY(pApp->Connect(pCreate));
        QCOMPARE(pApp->Init(), INIT_OK);
        QCOMPARE(pApp->GetTier(), APP_SYSTEM_TIER3);
        QCOMPARE(pApp->QueryInterface("anything"), nullptr);
        QVERIFY(pApp->IsSingleton());
        QCOMPARE(pApp->GetBuildType(), BUILD_TYPE_RELEASE);

        // The subtool table is the object's second base.
        ICorvidSubTool *pTool = static_cast<IExternalSubTool *>(pApp);
        CFakeCorvidHost host;
        QAction action(QStringLiteral("GPU Profiler"));
        CFakeCorvidConnection connection("Demo Target");
        host.current = &connection;
        pTool->SetHost(&host, &action);
        pTool->OnHostReady();
        QCOMPARE(pTool->GetDockableWidget(), nullptr);
        QVERIFY(pTool->WantsToolbarButton());
        QVERIFY(!pTool->WantsAutoShow());

        pTool->RegisterDataTypes(&connection);
        QCOMPARE(connection.registrations.size(), 5);
        ICorvidDataReceived *pReceiver = connection.registrations[0].pReceiver;
        QVERIFY(pReceiver);
        QVERIFY(static_cast<void *>(pReceiver) != pObject); // a table of its own

        connection.state = CORVID_CONNECTION_CONNECTING;
        pTool->UpdateToolAction(&connection);
        QVERIFY(!action.isEnabled());
        pTool->OnConnectionStateChanged(&connection, CORVID_CONNECTION_READY);
        QVERIFY(action.isEnabled());
        connection.state = CORVID_CONNECTION_READY;

        // A window opens for the target, chunks go through the third table, and when the
        // connection closes every buffer and the window's storage are back in the shared
        // allocator, which the test and the module reach through the same bedrock library.
        AllocationSnapshot before;
        QVERIFY(pTool->ShowForCurrentConnection());
        QCOMPARE(connection.Commands(), (QList<QPair<uint32, uint64>>{{1, 1}, {0, 1}}));
        QVERIFY(connection.Deliver(connection.registrations[0].nChunkId, QByteArray(188, 0)));
        pTool->OnConnectionClosed(&connection);
        QCOMPARE(connection.Commands().mid(2), (QList<QPair<uint32, uint64>>{{1, 0}, {0, 0}}));
        GPUPROF_COMPARE_NO_LEAKS(before);

        pTool->OnHostClosing();
        pApp->Shutdown();
        pApp->Disconnect();
        host.current = nullptr;
        QVERIFY(!pTool->ShowForCurrentConnection());
    }
};

GPUPROF_TEST_MAIN(TestModuleLoad)
#include "tst_module_load.moc"
