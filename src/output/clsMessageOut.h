// Where the Access builder's own messages go. The screens show each one in a message box with
// an OK button only (no icon, the application's title); the command line prints each as a line.
#pragma once

#include <ostream>
#include <string>
#include <vector>

class clsMessageOut {
public:
    virtual ~clsMessageOut() = default;
    // Shows one message and returns when the user has seen it.
    virtual void sbShowMessage(const std::string& strText) = 0;
};

// Prints each message as one line.
class clsMessageLines : public clsMessageOut {
public:
    explicit clsMessageLines(std::ostream& objOut) : moobjOut(objOut) {}
    void sbShowMessage(const std::string& strText) override { moobjOut << strText << '\n' << std::flush; }

private:
    std::ostream& moobjOut;
};

// Keeps the messages in order (for callers that report them later, and for tests).
class clsMessageList : public clsMessageOut {
public:
    void sbShowMessage(const std::string& strText) override { mocolMessages.push_back(strText); }
    const std::vector<std::string>& getMessages() const { return mocolMessages; }
    void sbClear() { mocolMessages.clear(); }

private:
    std::vector<std::string> mocolMessages;
};
