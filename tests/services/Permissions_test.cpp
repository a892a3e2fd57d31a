// The permission kinds: status mappings, the backups-folder check through a fake probe,
// and the facade's handling of every kind.
#include "services/MPCalendarAuthorizer.h"
#include "services/MPContactsAuthorizer.h"
#include "services/MPFullDiskAccessAuthorizer.h"
#include "services/MPPermissionsKit.h"
#include "services/MPPhotosAuthorizer.h"

#include "tests/kit/ScratchFolder.h"

#include <QDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <optional>

TEST(Permissions, RawStatusMappings) {
    const std::pair<long, MPAccessState> calendarAndContacts[] = {
        {0, MPAccessStateUndecided}, {1, MPAccessStateRefused}, {2, MPAccessStateRefused},
        {3, MPAccessStateGranted},   {4, MPAccessStateRefused}, {-1, MPAccessStateRefused},
    };
    for (const auto& [raw, state] : calendarAndContacts) {
        EXPECT_EQ(MPCalendarAuthorizer::StateFromRawStatus(raw), state) << raw;
        EXPECT_EQ(MPContactsAuthorizer::StateFromRawStatus(raw), state) << raw;
    }
    const std::pair<long, MPAccessState> photos[] = {
        {0, MPAccessStateUndecided}, {1, MPAccessStateRefused}, {2, MPAccessStateRefused},
        {3, MPAccessStateGranted},   {4, MPAccessStatePartial}, {5, MPAccessStateRefused},
        {99, MPAccessStateRefused},
    };
    for (const auto& [raw, state] : photos)
        EXPECT_EQ(MPPhotosAuthorizer::StateFromRawStatus(raw), state) << raw;
    EXPECT_EQ(MPCalendarAuthorizer::events()->entityType, 0u);
    EXPECT_EQ(MPCalendarAuthorizer::reminders()->entityType, 1u);
}

TEST(Permissions, BackupsFolderStatusThroughProbe) {
    struct Case {
        const char* name;
        bool exists;
        bool canList;
        MPAccessState expected;
    } cases[] = {
        {"missing", false, false, MPAccessStateGranted},
        {"listable", true, true, MPAccessStateGranted},
        {"not listable", true, false, MPAccessStateRefused},
    };
    for (const auto& tc : cases) {
        MPFullDiskAccessAuthorizer::FolderProbe probe;
        QString asked;
        probe.exists = [&](const QString& p) {
            asked = p;
            return tc.exists;
        };
        probe.canList = [&](const QString&) { return tc.canList; };
        QList<QUrl> opened;
        MPFullDiskAccessAuthorizer a("/home/u/.local/share/MobileSync/Backup", probe, [&](const QUrl& u) {
            opened << u;
            return true;
        });
        EXPECT_EQ(a.authorizationStatus(), tc.expected) << tc.name;
        EXPECT_EQ(asked, "/home/u/.local/share/MobileSync/Backup");
        // A request opens the folder above and always completes, with the current status.
        std::optional<MPAccessState> got;
        a.requestAuthorizationWithCompletion([&](MPAccessState s) { got = s; });
        ASSERT_TRUE(got.has_value()) << tc.name;
        EXPECT_EQ(*got, tc.expected);
        ASSERT_EQ(opened.size(), 1);
        EXPECT_EQ(opened[0], QUrl::fromLocalFile("/home/u/.local/share/MobileSync"));
    }
}

TEST(Permissions, FileSystemProbe) {
    kit::ScratchFolder root("permissions");
    const QString folder = QString::fromStdString((root.path() / "MobileSync" / "Backup").string());
    auto probe = MPFullDiskAccessAuthorizer::FolderProbe::FileSystem();
    EXPECT_FALSE(probe.exists(folder));
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_TRUE(probe.exists(folder));
    EXPECT_TRUE(probe.canList(folder));
    MPFullDiskAccessAuthorizer a(folder, probe, [](const QUrl&) { return true; });
    EXPECT_EQ(a.authorizationStatus(), MPAccessStateGranted);
    EXPECT_EQ(a.userHomeFolderPath(), QDir::homePath());
}

TEST(Permissions, KitAnswersEveryKind) {
    for (unsigned kind : {0u, 1u, 2u, 3u}) {
        EXPECT_EQ(MPPermissionsKit::authorizationStatusForPermissionType(kind), MPAccessStateGranted) << kind;
        std::optional<MPAccessState> got;
        MPPermissionsKit::requestAuthorizationForPermissionType(kind, [&](MPAccessState s) { got = s; });
        EXPECT_EQ(got, MPAccessStateGranted) << kind;
    }
    // Unknown kinds are undecided, and a request for one still completes.
    for (unsigned kind : {5u, 77u}) {
        EXPECT_EQ(MPPermissionsKit::authorizationStatusForPermissionType(kind), MPAccessStateUndecided);
        std::optional<MPAccessState> got;
        MPPermissionsKit::requestAuthorizationForPermissionType(kind, [&](MPAccessState s) { got = s; });
        EXPECT_EQ(got, MPAccessStateUndecided) << kind;
    }
    // The table is built once: the same authorizers answer every call.
    EXPECT_EQ(MPPermissionsKit::authorizers().size(), 5u);
    EXPECT_EQ(MPPermissionsKit::authorizers().at(4).get(), MPPermissionsKit::authorizers().at(4).get());

    // Kind 4 through a replaced authorizer with a refusing probe.
    MPFullDiskAccessAuthorizer::FolderProbe refusing;
    refusing.exists = [](const QString&) { return true; };
    refusing.canList = [](const QString&) { return false; };
    int opens = 0;
    MPPermissionsKit::setAuthorizer(
        4, std::make_shared<MPFullDiskAccessAuthorizer>("/x/MobileSync/Backup", refusing, [&](const QUrl&) {
            ++opens;
            return true;
        }));
    EXPECT_EQ(MPPermissionsKit::authorizationStatusForPermissionType(4), MPAccessStateRefused);
    std::optional<MPAccessState> got;
    MPPermissionsKit::requestAuthorizationForPermissionType(4, [&](MPAccessState s) { got = s; });
    EXPECT_EQ(got, MPAccessStateRefused);
    EXPECT_EQ(opens, 1);
    MPPermissionsKit::setAuthorizer(9, nullptr); // not a kind: ignored
    EXPECT_EQ(MPPermissionsKit::authorizers().size(), 5u);
}
