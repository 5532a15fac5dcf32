// The English message catalogue, compiled into the program. Language
// resource modules carry translations under the same ids.
#include "EnglishStrings.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr OV_MESSAGE kMessages[] = {
    {129, u"Version %s_VERSION% (Build %s_BUILDNUMBER%)"},
    {33000, u"Can't Start NetWork.\nApplication will exit."},
    {33001, u"Error"},
    {33002, u"Start Ping"},
    {33003, u"Stop Ping "},
    {33004, u"Success"},
    {33005, u"Looking up IP Address..."},
    {33006, u"Could not start WinSock."},
    {33007, u"Could not begin the work thread."},
    {33008, u"Could not Open the ICMP Socket."},
    {33009, u"Could not resolve Host name to an IP Address."},
    {33010, u"Could not get the Host Name."},
    {33011, u"Request timed out."},
    {33012, u"Ping canceled by user."},
    {33013, u"Look up IP"},
    {33014, u"WinSock failed."},
    {33015, u"Thread failed."},
    {33016, u"ICMP failed."},
    {33017, u"IP failed."},
    {33018, u"DNS failed."},
    {33019, u"TimeOut."},
    {33020, u"Ping canceled."},
    {33021, u"TimeStamp"},
    {33022, u"Status"},
    {33023, u"Bytes"},
    {33024, u"RTime"},
    {33025, u"TTL"},
    {33027, u"Location:%s_a%"},
    {33028, u"Packets Sent:%d_a%"},
    {33029, u"Packets Received:%d_a%"},
    {33030, u"Packets Lost:%d_a%(%d_b%% loss)"},
    {33031, u"Packets Lost:%d_a%"},
    {33032, u"Response time Minimum:%d_a%ms"},
    {33033, u"Response time Maximum:%d_a%ms"},
    {33034, u"Response time  Average:%d_a%ms"},
    {33035, u"Response time  Average: N/A"},
    {33036, u"[%s_c%]Reply form %s_b%: %s_a%"},
    {33037, u"[%s_a%]Reply form %s_b%: bytes = %d_c% time = %d_d%ms TTL = %d_e%"},
    {33038, u"[%s_a%]Reply form %s_b%: bytes = %d_c% time < 1ms TTL = %d_d%"},
    {33039, u"[%d_a%] bytes = %d_b% time = %d_c%ms TTL = %d_d%"},
    {33040, u"[%d_a%] bytes = %d_b% time < 1ms TTL = %d_c%"},
    {33041, u"Response Time(ms)"},
    {33042, u"Invalid host name or IP addresses."},
    {33044, u"Response time Minimum: N/A"},
    {33045, u"Response time Maximum: N/A"},
    {34000, u"Log List"},
    {34001, u"Tree"},
    {34002, u"&Copy\tCtrl+C"},
    {34003, u"&Select All\tCtrl+A"},
    {34004, u"&Auto Scroll"},
    {34005, u"Class&ic View"},
    {34006, u"Ha&rbor View"},
    {34007, u"Copy Colunm"},
    {34008, u"Copy TimeStamp"},
    {34009, u"Copy Status"},
    {34010, u"Copy Bytes"},
    {34011, u"Copy RTime"},
    {34012, u"Copy TTL"},
    {34013, u"&Copy Host"},
    {34014, u"Copy &All"},
    {34015, u"Copy Selected Data"},
    {34016, u"Select All"},
    {34017, u"Auto Scroll"},
    {34018, u"Display classical view"},
    {34019, u"Display list view"},
    {34020, u"Copy Host"},
    {34021, u"Copy All"},
    {34022, u"There are no items to show in this view."},
    {34300, u"Options"},
    {34301, u"Packet Size"},
    {34302, u"Packet Time-To-Live"},
    {34303, u"Ping Timeout"},
    {34304, u"Delay Between PINGs"},
    {34305, u"Address transmitted"},
    {34306, u"Poll Interval "},
    {34307, u"Bytes"},
    {34308, u"milliseconds"},
    {34309, u"times pre Host"},
    {34310, u"Load Default"},
    {34311, u"OK"},
    {34312, u"Cancel"},
    {34313, u"Help"},
    {34500, u"%s_a% Update"},
    {34501, u"Version %s_a% of %s_b% is available; this is version %s_c%.\nOpen the download page now?"},
    {34502, u"%s_a% %s_b% is the latest version."},
    {34503, u"Could not check for a newer version of %s_a%.\n%s_b%"},
    {34504, u"&Download"},
    {34505, u"&Skip This Version"},
    {34506, u"&Later"},
    {34507, u"OK"},
    {34510, u"No connection to the server."},
    {34511, u"No answer within 15 seconds."},
    {34512, u"The address redirects in a loop."},
    {34513, u"The answer is too large."},
    {34514, u"The address is not valid."},
    {34515, u"The file could not be read."},
    {34516, u"The server answered with status %d_a%."},
    {34517, u"The answer could not be read."},
    {34520, u"The page %s_a% could not be shown.\n%s_b%"},
    {57344, u"Orvantek Ping Tool"},
    {57347, u"Ping"},
};

static_assert(std::is_sorted(std::begin(kMessages), std::end(kMessages),
                             [](const OV_MESSAGE& a, const OV_MESSAGE& b) { return a.id < b.id; }),
              "the catalogue is searched by halving");

}  // namespace

std::span<const OV_MESSAGE> EnglishMessages() noexcept
{
    return kMessages;
}

const char16_t* EnglishString(unsigned int id) noexcept
{
    const auto it = std::lower_bound(std::begin(kMessages), std::end(kMessages), id,
                                     [](const OV_MESSAGE& m, unsigned int key) { return m.id < key; });
    return it != std::end(kMessages) && it->id == id ? it->text : nullptr;
}
