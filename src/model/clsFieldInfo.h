// One field row of a design document: name, type word, size and NULL mark, kept exactly as read.
#pragma once

#include <memory>
#include <string>

class clsFieldInfo {
public:
    void setName(const std::string& strName) { mostrName = strName; }
    void setAttr(const std::string& strAttr) { mostrAttr = strAttr; }
    void setSize(const std::string& strSize) { mostrSize = strSize; }
    void setNull(bool blnNull) { moblnNull = blnNull; }

    const std::string& getName() const { return mostrName; }
    const std::string& getAttr() const { return mostrAttr; }
    const std::string& getSize() const { return mostrSize; }
    bool getNull() const { return moblnNull; }

private:
    std::string mostrName;
    std::string mostrAttr;
    std::string mostrSize;
    bool moblnNull = false;  // true: the document lets the field hold NULL
};

using FieldInfoPtr = std::shared_ptr<clsFieldInfo>;
