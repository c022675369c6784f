// Corvane's main window as a screen reader on Linux meets it: over the real accessibility bus
// (AT-SPI), read from another process. The test runs in a session bus of its own
// (dbus-run-session) on a virtual display (Xvfb); the session bus starts the accessibility bus
// and its registry when first asked, as on a desktop.
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>
#include <algorithm>
#include <functional>
#include <iostream>
#include <optional>
#include <vector>

namespace {

// An object on the bus: the connection that holds it and its path.
struct Reference {
    QString service;
    QDBusObjectPath path;
};

}  // namespace

Q_DECLARE_METATYPE(Reference)

QDBusArgument& operator<<(QDBusArgument& argument, const Reference& reference)
{
    argument.beginStructure();
    argument << reference.service << reference.path;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, Reference& reference)
{
    argument.beginStructure();
    argument >> reference.service >> reference.path;
    argument.endStructure();
    return argument;
}

namespace {

constexpr const char* kAccessible = "org.a11y.atspi.Accessible";
constexpr const char* kText = "org.a11y.atspi.Text";
constexpr int kStateSelected = 23;  // AT-SPI's state numbers: SELECTED

// What a screen reader reads of one control: the window it is in, its role and name, and its
// value (the text it shows, or the names of its selected entries).
struct Row {
    QString window, role, name, value;
};

void PrintTo(const Row& row, std::ostream* out)
{
    *out << "{" << row.window.toStdString() << " | " << row.role.toStdString() << " | " << row.name.toStdString()
         << " | " << row.value.toStdString() << "}";
}

// Waits for `condition`, handling the process's events meanwhile, for at most `ms`.
bool WaitFor(const std::function<bool()>& condition, int ms) { return QTest::qWaitFor(condition, ms); }

class Bus {
public:
    explicit Bus(QDBusConnection connection) : connection_(std::move(connection)) {}

    QVariantList Call(const Reference& at, const char* interface, const char* method, const QVariantList& arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(at.service, at.path.path(), interface, method);
        message.setArguments(arguments);
        const QDBusMessage reply = connection_.call(message, QDBus::Block, 5000);
        return reply.type() == QDBusMessage::ReplyMessage ? reply.arguments() : QVariantList{};
    }

    std::vector<Reference> Children(const Reference& at)
    {
        const QVariantList reply = Call(at, kAccessible, "GetChildren");
        std::vector<Reference> children;
        if (reply.isEmpty()) return children;
        const QDBusArgument argument = reply.first().value<QDBusArgument>();
        argument.beginArray();
        while (!argument.atEnd()) {
            Reference child;
            argument >> child;
            children.push_back(child);
        }
        argument.endArray();
        return children;
    }

    QString Name(const Reference& at)
    {
        const QVariantList reply = Call(at, "org.freedesktop.DBus.Properties", "Get", {QString(kAccessible), QStringLiteral("Name")});
        return reply.isEmpty() ? QString() : reply.first().value<QDBusVariant>().variant().toString();
    }

    QString Role(const Reference& at)
    {
        const QVariantList reply = Call(at, kAccessible, "GetRoleName");
        return reply.isEmpty() ? QString() : reply.first().toString();
    }

    bool Selected(const Reference& at)
    {
        const QVariantList reply = Call(at, kAccessible, "GetState");
        if (reply.isEmpty()) return false;
        QList<uint> words;
        reply.first().value<QDBusArgument>() >> words;
        return words.size() == 2 && (words[kStateSelected / 32] >> (kStateSelected % 32) & 1u) != 0;
    }

    std::optional<QString> Text(const Reference& at)
    {
        const QVariantList interfaces = Call(at, kAccessible, "GetInterfaces");
        if (interfaces.isEmpty() || !interfaces.first().toStringList().contains(kText)) return std::nullopt;
        const QVariantList reply = Call(at, kText, "GetText", {0, -1});
        return reply.isEmpty() ? QString() : reply.first().toString();
    }

    // The names of the selected entries below `at`, down to `depth` levels.
    QStringList SelectedBelow(const Reference& at, int depth)
    {
        QStringList names;
        if (depth == 0) return names;
        for (const Reference& child : Children(at)) {
            if (Selected(child)) names << Name(child);
            names << SelectedBelow(child, depth - 1);
        }
        return names;
    }

private:
    QDBusConnection connection_;
};

class AccessibilityBus : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") || qEnvironmentVariableIsEmpty("DISPLAY")) {
            GTEST_SKIP() << "needs a session bus and a display: run through CTest (dbus-run-session, xvfb-run)";
        }
        qDBusRegisterMetaType<Reference>();
        ASSERT_TRUE(data_.isValid());
        QDir(data_.path()).mkdir(QStringLiteral("inner"));
        QFile file(data_.filePath(QStringLiteral("b.txt")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("bytes");
        file.close();

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        program_.setProcessEnvironment(environment);
        program_.setProcessChannelMode(QProcess::ForwardedChannels);
        program_.start(QStringLiteral(CORVANE_PROGRAM), {data_.filePath(QStringLiteral("b.txt"))});
        ASSERT_TRUE(program_.waitForStarted());

        const QDBusMessage address = QDBusConnection::sessionBus().call(
            QDBusMessage::createMethodCall("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress"));
        ASSERT_EQ(address.type(), QDBusMessage::ReplyMessage) << address.errorMessage().toStdString();
        bus_.emplace(QDBusConnection::connectToBus(address.arguments().value(0).toString(), QStringLiteral("a11y")));
    }

    void TearDown() override
    {
        program_.kill();
        program_.waitForFinished();
    }

    // Every control of the window titled `title` of Corvane, once the window is on the bus.
    std::vector<Row> Rows(const QString& title)
    {
        std::vector<Row> rows;
        const Reference root{QStringLiteral("org.a11y.atspi.Registry"), QDBusObjectPath("/org/a11y/atspi/accessible/root")};
        WaitFor(
            [&] {
                for (const Reference& application : bus_->Children(root)) {
                    for (const Reference& window : bus_->Children(application)) {
                        if (bus_->Name(window) != title) continue;
                        Walk(window, title, rows, 0);
                        // The window is listed before its controls are: wait for the lists' entries.
                        if (std::any_of(rows.begin(), rows.end(), [](const Row& row) { return row.role == "list" && !row.value.isEmpty(); })) return true;
                        rows.clear();
                    }
                }
                return false;
            },
            30000);
        return rows;
    }

    void Walk(const Reference& at, const QString& window, std::vector<Row>& rows, int depth)
    {
        if (depth > 6) return;
        for (const Reference& child : bus_->Children(at)) {
            Row row{window, bus_->Role(child), bus_->Name(child), {}};
            const bool list = row.role == "list" || row.role == "tree" || row.role == "combo box";
            if (list) {
                row.value = bus_->SelectedBelow(child, 2).join(QStringLiteral(", "));
            } else if (const std::optional<QString> text = bus_->Text(child)) {
                row.value = *text;
            }
            rows.push_back(row);
            if (!list) Walk(child, window, rows, depth + 1);
        }
    }

    QTemporaryDir data_;
    QProcess program_;
    std::optional<Bus> bus_;
};

// Whether `row` is what `expected` describes; an expected value ending in "*" is a beginning.
bool Matches(const Row& row, const Row& expected)
{
    const bool value = expected.value.endsWith(QLatin1Char('*')) ? row.value.startsWith(expected.value.chopped(1))
                                                                 : row.value == expected.value;
    return value && row.window == expected.window && row.role == expected.role && row.name == expected.name;
}

// The chosen drive, folder and file, each as the value of the list that shows it.
TEST_F(AccessibilityBus, TheMainWindowSaysWhatIsChosenInEachList)
{
    const QString title = QStringLiteral("Corvane - File Encoder/Decoder");
    const std::vector<Row> rows = Rows(title);
    ASSERT_FALSE(rows.empty()) << "the main window never reached the bus";
    const QString folder = QDir(data_.path()).dirName();
    const Row expected[] = {
        {title, "combo box", "Drive", "/*"},  // "/", followed by the volume's label where it has one
        {title, "tree", "Folders", folder},
        {title, "list", "Files", "b.txt"},
        {title, "label", "b.txt", ""},
    };
    for (const Row& row : expected) {
        EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [&](const Row& r) { return Matches(r, row); }))
            << ::testing::PrintToString(row);
    }
    // Whatever else the window holds, for the record when a row above is missing.
    if (HasFailure()) {
        for (const Row& row : rows) std::cerr << ::testing::PrintToString(row) << "\n";
    }
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
