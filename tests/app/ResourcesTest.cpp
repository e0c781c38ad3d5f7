#include <gtest/gtest.h>

#include <QImage>
#include <QResource>

#include "GuiTest.h"

namespace {

// What the program carries under ":/Resources": images stored as they are, the German
// translation and the firmware compressed, the entry-less English translation plain.
TEST(ResourcesTest, CompiledInResources) {
    guiApplication();
    const struct {
        const char* path;
        bool compressed;
        QSize imageSize;  // empty: not an image
    } cases[] = {
        {":/Resources/FWIconFail.png", false, {26, 26}},
        {":/Resources/FWIconWarning.png", false, {26, 26}},
        {":/Resources/FWIconPass.png", false, {26, 26}},
        {":/Resources/OrbiZo3FWUpdater.png", false, {256, 256}},
        {":/Resources/AlertCautionIcon.png", false, {64, 64}},
        {":/Resources/Translations/OrbiZo3fwupdater_de.qm", true, {}},
        {":/Resources/Translations/OrbiZo3fwupdater_en.qm", false, {}},
        {":/Resources/FW_Zo3.zof", true, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const QResource resource(QString::fromLatin1(c.path));
        ASSERT_TRUE(resource.isValid());
        EXPECT_EQ(c.compressed, resource.compressionAlgorithm() != QResource::NoCompression);
        if (!c.imageSize.isEmpty()) {
            EXPECT_EQ(c.imageSize, QImage(QString::fromLatin1(c.path)).size());
        }
    }
}

}  // namespace
