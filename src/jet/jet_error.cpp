#include "jet_error.h"

namespace jet {

JetError fileError(int number, const std::string& path, std::initializer_list<std::string> pieces) {
    const std::string quoted = "『" + path + "』";
    const std::string topic = "は";
    std::string sentence;
    std::string reason;
    size_t i = 0;
    for (const std::string& piece : pieces) {
        if (i > 0) sentence += quoted;
        sentence += piece;
        // A sentence opening with the path as its topic loses the particle with the path.
        const bool topicOfAll = i == 1 && reason.empty() && piece.compare(0, topic.size(), topic) == 0;
        reason += topicOfAll ? piece.substr(topic.size()) : piece;
        ++i;
    }
    return JetError(number, sentence, base::Subject::ofFile(path), reason);
}

}  // namespace jet
