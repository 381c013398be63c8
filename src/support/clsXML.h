// Reader of tag files: lines of "<Key>value</Key>" in CP932. Values are looked up
// by their start and end tags; tags match regardless of letter case, the first
// occurrence wins, text around the tags is ignored, and a value running over
// several lines is joined without the line breaks. Commas are ordinary text.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class clsXML {
public:
    // The value between the complete tags (e.g. "<StartSheetNo>", "</StartSheetNo>");
    // empty text when the key is absent or its value is never closed, and before
    // any fnReadFile.
    std::string fnTagData(const std::string& strSTag, const std::string& strETag) const;

    // Reads the file's lines, replacing those of an earlier read. False when the file
    // is missing, unreadable, not CP932, larger than 16 MiB or not a plain file (a pipe,
    // a device); the reader then holds no lines and getErrMsg/getErrNo describe the
    // failure. Never throws.
    bool fnReadFile(const std::string& strPath);

    const std::vector<std::string>& getLines() const { return mocolLines; }
    const std::string& getErrMsg() const { return mostrErrMsg; }
    std::int32_t getErrNo() const { return molngErrNo; }
    // Why the last fnReadFile failed, without the path (getErrMsg names the file); empty
    // after a successful read.
    const std::string& getErrReason() const { return mostrErrReason; }

private:
    std::vector<std::string> mocolLines;
    std::string mostrErrMsg;
    std::string mostrErrReason;
    std::int32_t molngErrNo = 0;
};

using XMLPtr = std::shared_ptr<clsXML>;
