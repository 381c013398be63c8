// Writes the example layout definitions and type notation map into a folder
// (normally examples/): write_examples <folder>
#include <iostream>
#include <string>

#include "ExampleDefinitions.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: write_examples <folder>\n";
        return 2;
    }
    const std::string strDir = argv[1];
    std::string strErr;
    bool blnOk = true;
    auto report = [&](bool blnDone, const std::string& strName) {
        if (blnDone) {
            std::cout << strDir << "/" << strName << "\n";
        } else {
            std::cerr << strName << ": " << strErr << "\n";
            blnOk = false;
        }
    };
    report(fnSaveDBDefFile(exampleDefaultLayout(), strDir + "/" + kExampleDefaultLayoutFile, &strErr),
           kExampleDefaultLayoutFile);
    report(fnSaveDBDefFile(exampleLayoutWithCover(), strDir + "/" + kExampleLayoutWithCoverFile, &strErr),
           kExampleLayoutWithCoverFile);
    report(fnSaveAttrFile(exampleJapaneseNotations(), strDir + "/" + kExampleJapaneseNotationsFile,
                          &strErr),
           kExampleJapaneseNotationsFile);
    return blnOk ? 0 : 1;
}
