// What happens to the request a batch served once its exchange has ended.
#ifndef ORDELIN_CORE_COMPLETION_H
#define ORDELIN_CORE_COMPLETION_H

class Ordelin;

namespace ordelin {

// Under the list mutex. Writes and once-reads leave their list and are
// reported to the host; a cyclic read moves to the end of its list.
void completeBatch(Ordelin &driver);

} // namespace ordelin

#endif
