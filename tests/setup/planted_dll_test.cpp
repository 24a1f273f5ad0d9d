// DLLs planted where the programs run: beside setup.exe on the medium, beside tunewell.exe in the
// installation and in the temporary folder the uninstaller's copy runs from. Wine is told to prefer
// such files to its own, as Windows does for any DLL that is not a known DLL; none of them may run.
#include "driver.h"

#include <gtest/gtest.h>

#include "launcher_buttons.h"
#include "veyla_medium.h"

namespace {

const char* const plantedNames[] = {"winmm.dll", "comctl32.dll", "uxtheme.dll", nullptr};
const char* const programs[] = {"victim.exe", "setup.exe", "tunewell.exe", "uninst.exe"};
const std::string installDir = "c:\\TesmafromKuvel\\Veyla";
const std::string plantLog = "z:\\planted.log";

bool plant(const std::string& folder)
{
    bool ok = true;
    for (const char* const* name = plantedNames; *name; ++name)
        ok = kit::copyFile(kit::binPath("..\\tests\\planted.dll"), folder + "\\" + *name) && ok;
    return ok;
}

void unplant(const std::string& folder)
{
    for (const char* const* name = plantedNames; *name; ++name) DeleteFileA((folder + "\\" + *name).c_str());
}

std::string tempFolder()
{
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    std::string folder = temp;
    return folder.substr(0, folder.size() - 1);
}

std::string plantLogText()
{
    std::string text;
    kit::readFile(plantLog, text);
    return text;
}

class PlantedDll : public ::testing::Test {
protected:
    void SetUp() override
    {
        kit::emptyAllDrives();
        clearVeylaInstallation();
        DeleteFileA(plantLog.c_str());
        ASSERT_TRUE(layOutVeyla(kit::driveRoot('n')));
        ASSERT_TRUE(plant(kit::driveRoot('n')));
        ASSERT_TRUE(plant(tempFolder()));
        for (const char* program : programs) ASSERT_TRUE(kit::preferNativeDlls(program, plantedNames));
    }
    void TearDown() override
    {
        for (const char* program : programs) kit::preferNativeDlls(program, nullptr);
        if (process.handle && kit::waitExit(process, 0) < 0) kit::terminate(process);
        unplant(tempFolder());
        clearVeylaInstallation();
        kit::emptyAllDrives();
        DeleteFileA(plantLog.c_str());
    }
    kit::Process process;
};

TEST_F(PlantedDll, NoPlantedDllRunsThroughInstallationDataCheckSettingsAndUninstallation)
{
    // The control: a program that links winmm by name does load the one planted beside it.
    std::string control = kit::freshFolder("planted");
    ASSERT_TRUE(kit::copyFile(kit::binPath("..\\tests\\plant_victim.exe"), control + "\\victim.exe") && plant(control));
    ASSERT_TRUE(kit::start(process, control + "\\victim.exe"));
    ASSERT_EQ(kit::waitExit(process, 20000), 0);
    ASSERT_NE(plantLogText().find("victim.exe"), std::string::npos) << "this bench does not prefer planted DLLs";
    DeleteFileA(plantLog.c_str());

    // Installation and data check from the medium.
    HWND launcher = installFromDriveN(process);
    ASSERT_NE(launcher, nullptr);
    ASSERT_TRUE(kit::waitUntil([&] { return kit::itemEnabled(launcher, 1025); }, 20000));
    kit::click(launcher, 1025);
    HWND check = kit::waitWindow(process.pid, L"#32770", L"インストールデータチェック", 20000);
    ASSERT_NE(check, nullptr);
    kit::click(check, 1026);
    ASSERT_TRUE(kit::answerNext(process.pid, IDOK, 60000));
    ASSERT_TRUE(kit::answerNext(process.pid, IDOK, 20000));
    kit::click(check, IDCANCEL);
    ASSERT_TRUE(kit::waitGone(check, 10000));
    kit::click(launcher, IDCANCEL);
    ASSERT_EQ(kit::waitExit(process, 15000), 0);

    // The settings tool and the uninstaller, both the real programs, in the installation.
    ASSERT_TRUE(kit::copyFile(kit::binPath("tunewell.exe"), installDir + "\\tunewell.exe"));
    ASSERT_TRUE(kit::copyFile(kit::binPath("uninst.exe"), installDir + "\\uninst.exe"));
    ASSERT_TRUE(plant(installDir));
    kit::Process tool;
    ASSERT_TRUE(kit::start(tool, installDir + "\\tunewell.exe"));
    HWND settings = kit::waitWindow(tool.pid, L"#32770", L"tunewell", 20000);
    ASSERT_NE(settings, nullptr);
    kit::click(settings, IDCANCEL);
    ASSERT_EQ(kit::waitExit(tool, 15000), 0);
    unplant(installDir);  // the uninstaller removes only what it installed

    kit::Process uninstaller;
    ASSERT_TRUE(kit::start(uninstaller, installDir + "\\uninst.exe"));
    ASSERT_EQ(kit::waitExit(uninstaller, 20000), 0);
    kit::MessageBoxView box;
    ASSERT_TRUE(kit::waitMessageBox(0, box, 30000));
    DWORD copyPid = 0;
    GetWindowThreadProcessId(box.window, &copyPid);
    kit::answer(box, IDYES);
    ASSERT_TRUE(kit::answerNext(copyPid, IDYES, 30000));
    ASSERT_TRUE(kit::answerNext(copyPid, IDOK, 30000, &box));
    EXPECT_EQ(box.text, L"アンインストールが完了しました。");
    EXPECT_FALSE(kit::fileExists(installDir));

    EXPECT_EQ(plantLogText(), "") << "a planted DLL ran inside these programs";
}

}  // namespace
