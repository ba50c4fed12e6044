#pragma once

#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace pictavo::test {

// Points the namespace's home, desktop, user name and mount table at a temporary tree, so
// nothing depends on the machine, and puts the environment back afterwards.
class ShellFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char* name : {"PICTAVO_SHELL_HOME", "PICTAVO_SHELL_DESKTOP", "PICTAVO_SHELL_MOUNTINFO",
                                 "USER", "XDG_CONFIG_HOME"}) {
            const char* v = std::getenv(name);
            saved_.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
        }
        home = dir.path() / "home" / "ann";
        desktop = home / "Desktop";
        std::filesystem::create_directories(desktop);
        mountinfo = dir.path() / "mountinfo";
        writeMounts("");
        setenv("PICTAVO_SHELL_HOME", home.c_str(), 1);
        setenv("PICTAVO_SHELL_DESKTOP", desktop.c_str(), 1);
        setenv("PICTAVO_SHELL_MOUNTINFO", mountinfo.c_str(), 1);
        setenv("USER", "ann", 1);
        unsetenv("XDG_CONFIG_HOME");
    }
    void TearDown() override
    {
        for (const auto& [name, value] : saved_) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }
    // Lines "POINT TYPE" become mountinfo lines; the rest of each line is filler.
    void writeMounts(const std::string& lines)
    {
        std::ofstream out(mountinfo);
        int id = 20;
        size_t start = 0;
        while (start < lines.size()) {
            size_t end = lines.find('\n', start);
            if (end == std::string::npos)
                end = lines.size();
            const std::string line = lines.substr(start, end - start);
            start = end + 1;
            const size_t space = line.rfind(' ');
            out << id << " 1 0:" << id << " / " << line.substr(0, space) << " rw,relatime shared:1 - "
                << line.substr(space + 1) << " none rw\n";
            ++id;
        }
    }
    static void mkdirs(const std::filesystem::path& p) { std::filesystem::create_directories(p); }

    TempDir dir;
    std::filesystem::path home, desktop, mountinfo;

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

} // namespace pictavo::test
