// A fresh folder for each test that writes files, and reading them back.
#pragma once

#include <cstdint>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

class TempFolderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string pathOf(const char* name) const { return (folder / name).string(); }

    std::filesystem::path folder;
};

std::vector<unsigned char> readFile(const std::string& path);

// Little-endian values of a file's bytes.
uint32_t u32At(const std::vector<unsigned char>& bytes, std::size_t at);
uint16_t u16At(const std::vector<unsigned char>& bytes, std::size_t at);
