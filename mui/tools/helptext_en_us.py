# English texts of the help book and the offline page (see helpbook.py).
LANG = "en"
CONTENTS = "Contents"
PREVIOUS = "Previous"
NEXT = "Next"

PAGES = {}

PAGES["index"] = ("Orvantek Ping Tool Help", """
<p>Orvantek Ping Tool (Tapper) pings one or more hosts at the same time. For every host a
worker resolves the name, looks up the country of the address and then sends ICMP echo
requests one at a time, at the delay, data size, time-to-live, type of service and timeout
you set. Every reply, lost request and failure is recorded with its time; a log list, a
statistics tree and a response-time chart show the run while it goes on. The run lasts
until you stop it.</p>
<p>This book is written for network administrators. It describes the window, each view,
the options, the command line, the console mode for scripts and servers, the ICMP
permissions the program needs on Linux, and what to do when something does not work.</p>
<p>Press <b>F1</b> anywhere in the program to open this book.</p>
<h2>Pages</h2>
""")

PAGES["mainwindow"] = ("The main window", """
<p>The main window holds three views: the <a href="chart.html">response-time chart</a> at the
top, the <a href="stattree.html">statistics tree</a> at the bottom left and the
<a href="loglist.html">log list</a> at the bottom right. Until the first run starts, the
chart fills the whole window; from then on it takes 45 percent of the height. The
borders between the views can be dragged.</p>
<h2>Host entry and Start/Stop</h2>
<p>Type one or more targets into the host entry on the toolbar: host names or dotted IPv4
addresses, separated by blanks, commas or semicolons, for example
<code>192.0.2.1, gateway.example.net; 198.51.100.7</code>. Then press <b>Start Ping</b>
(or <b>Ctrl+O</b>, or <b>File &gt; Start Ping</b>). The same button then reads
<b>Stop Ping</b> and stops the run; the hosts and their data stay visible until the next
start. While a run is active the host entry cannot be edited.</p>
<p>Blanks and the characters <code>; : . , ? ' " \\ ` ~</code> at either end of the text
are removed. If the text still contains one of <code>` ~ ! @ # $ % ^ &amp; * ( ) = + | { } [ ] : " ' &lt; &gt; ?</code>
the program shows "Invalid host name or IP addresses." and does not start. A colon
anywhere makes the text invalid, so IPv6 addresses cannot be entered; names are resolved
to IPv4 addresses only.</p>
<p>The host entry remembers the last 16 texts that started a run; open its list to pick one
again. Repeating a text moves it to the top.</p>
<h2 id="files">Host lists and results</h2>
<p><b>File &gt; Open Host List...</b> puts the hosts of a host list file into the host entry
and its history. A host list is a UTF-8 text file with one or more hosts per line, separated
as in the host entry (a tab counts as a blank). <code>#</code> starts a comment that runs to
the end of the line; blank lines, CRLF line ends and a byte order mark are fine. A file in
another encoding, one with a NUL byte or with a character that no host name can have is
refused with the number of the line; a list of more than 10000 hosts is refused with its
number. Dropping a host list file, or text, on the window or the host entry opens it the
same way. <b>File &gt; Save Host List...</b> writes the hosts of the entry one per line. The
File menu keeps the four host list files opened or saved last.</p>
<p><b>File &gt; Export Results...</b> saves the run, while it goes on or after Stop, in one of
four forms: CSV or JSON lines, each with the statistics of every host only or with every
event the hosts keep (up to 5000 each) as well. The records and fields are those of the
<a href="console.html">console mode</a>'s <code>--format=csv</code> and
<code>--format=json</code>; a host's counts and times are those of the
<a href="stattree.html">statistics tree</a>. The file is replaced only once the new one is
complete: when the disk is full or the folder may not be written, a message says why and an
earlier file of that name stays as it was.</p>
<h2>Menus</h2>
<table border="1" cellpadding="3">
<tr><th>Menu</th><th>Items</th></tr>
<tr><td>File</td><td>Start Ping (Start/Stop), Open Host List..., Save Host List..., Export Results...,
the four most recent host list files, Exit; see <a href="#files">host lists and results</a></td></tr>
<tr><td>Edit</td><td>Copy (Ctrl+C, Ctrl+Insert), Select All (Ctrl+A), Auto Scroll, Classic View,
Harbor View; these act on the <a href="loglist.html">log list</a></td></tr>
<tr><td>Chart</td><td>3D View, Legend Box, Gridline, Line Chart, Area Chart, Bar Chart, Save Chart;
see <a href="chart.html">the chart</a></td></tr>
<tr><td>Options</td><td>Options..., see <a href="options.html">the options</a>; Alerts..., see
<a href="alerts.html">alerts</a></td></tr>
<tr><td>Help</td><td>Contents (F1), Check for Latest Version..., Official Orvantek Support Forum,
Orvantek Home Page, About...</td></tr>
</table>
<h2>Keys</h2>
<table border="1" cellpadding="3">
<tr><td>Ctrl+O</td><td>start or stop the run</td></tr>
<tr><td>Ctrl+C, Ctrl+Insert</td><td>copy the selected log rows</td></tr>
<tr><td>Ctrl+A</td><td>select all log rows</td></tr>
<tr><td>F1</td><td>this help</td></tr>
<tr><td>F6, Shift+F6</td><td>next or previous view</td></tr>
</table>
<h2>Online Resource pane and update check</h2>
<p>When the online features were switched on at installation, the window has an
<b>Online Resource</b> pane docked at the left. It shows a page of the maker's web site;
without a connection it shows a copy installed with the program, or stays empty. Links
in it open in your web browser. In that case the program also checks once, about one
second after start, whether a newer version exists, and only speaks up when there is
one. <b>Help &gt; Check for Latest Version...</b> checks at any time and always reports the
result. A version you chose to skip is not announced again by the automatic check.
The update check sends nothing but the product name and its version.</p>
<p>The logo at the right end of the toolbar and <b>Help &gt; Orvantek Home Page</b> open the
maker's home page in your web browser; <b>Help &gt; Official Orvantek Support Forum</b>
opens the forum.</p>
""")

PAGES["loglist"] = ("The log list", """
<p>The log list shows every recorded event of the <i>current host</i>, the host selected in
the <a href="stattree.html">statistics tree</a>, oldest first. The log list's toolbar shows
the current host's name at its end. Up to 5000 events are kept per host; after that
the oldest give way to the newest.</p>
<h2>Two presentations</h2>
<p><b>Classic View</b> (Edit &gt; Classic View) shows one line per event in the manner of a
console ping, for example</p>
<pre>[2026-3-7 14:05:09]Reply form 192.0.2.1: bytes = 64 time = 12ms TTL = 57</pre>
<p>A response time below one millisecond is written <code>time &lt; 1ms</code>. Other events show
their status text, such as "Request timed out." or "Could not resolve Host name to an IP
Address.".</p>
<p><b>Harbor View</b> (Edit &gt; Harbor View, "Display list view") shows a table with the
columns TimeStamp, Status, Bytes, RTime (response time in ms) and TTL (the time-to-live
of the reply). Time stamps are local time, written year-month-day hours:minutes:seconds.</p>
<h2>Copying</h2>
<p><b>Copy</b> (Ctrl+C or Ctrl+Insert) puts the selected rows on the clipboard as plain
text: in Classic View the lines, in Harbor View all columns. <b>Select All</b> (Ctrl+A)
selects every row. The right-click menu also copies a single column: Copy TimeStamp,
Copy Status, Copy Bytes, Copy RTime, Copy TTL.</p>
<h2>Auto Scroll</h2>
<p>With <b>Auto Scroll</b> checked (the default) the newest row is kept in view. Switch it
off to read older rows while the run continues.</p>
""")

PAGES["stattree"] = ("The statistics tree", """
<p>The statistics tree has one node per host of the run, in the order you typed them.
Below each host eight lines show:</p>
<ol>
<li>the IPv4 address the name resolved to;</li>
<li>Location: the country of the address, from the GeoIP country database when it is
installed (empty otherwise);</li>
<li>Packets Sent;</li>
<li>Packets Received (sent minus lost);</li>
<li>Packets Lost, with the loss in whole percent;</li>
<li>Response time Minimum,</li>
<li>Response time Maximum and</li>
<li>Response time Average, in milliseconds; "N/A" as long as no reply came.</li>
</ol>
<p>While a run is active the lines are rewritten every poll interval
(<a href="options.html">Options</a>, default 500 ms). The average is the whole response time
divided by the replies, rounded down, and always lies between minimum and maximum.</p>
<h2>The current host</h2>
<p>Selecting a host node, or one of its lines, makes that host the current host: the
<a href="loglist.html">log list</a> then shows its events. When a run starts, the first
host is selected.</p>
<h2>Copying</h2>
<p>The toolbar of the tree and its right-click menu offer <b>Copy Host</b>, the host's name
and its eight lines, and <b>Copy All</b>, every host with its lines, as plain text.</p>
""")

PAGES["chart"] = ("The response-time chart", """
<p>The chart has one series per host of the run. Every poll interval
(<a href="options.html">Options</a>, default 500 ms) it adds one point to each series: the
response time of the host's newest reply in milliseconds, or a gap when the newest event
is a lost request or a failure. The x axis is labelled with the time each sample was taken;
the chart scrolls as the run goes on. A run of more than 1024 hosts charts the first 1024,
and the status bar says so.</p>
<h2>Chart menu</h2>
<table border="1" cellpadding="3">
<tr><td>3D View</td><td>switches the three-dimensional look on or off (on by default)</td></tr>
<tr><td>Legend Box</td><td>shows or hides the legend with the host names; when not all of
them fit, the legend shows those that do and, on its last line, which of how many (for
example "1–44 / 300"): turn the mouse wheel over it to see the others</td></tr>
<tr><td>Gridline</td><td>shows or hides the grid lines of both axes</td></tr>
<tr><td>Line Chart, Area Chart, Bar Chart</td><td>the kind of chart; line is the default</td></tr>
<tr><td>Save Chart</td><td>saves the chart as a bitmap file; available once a run was started</td></tr>
</table>
<p>The same commands are on the chart's toolbar and on its right-click menu. In a small
window the chart leaves out the time labels and, if need be, the axis title that do not
fit.</p>
<p>Gaps are the quickest way to spot loss: a series with many gaps belongs to a host that
drops requests or answers slower than the timeout.</p>
""")

PAGES["options"] = ("The options", """
<p><b>Options &gt; Options...</b> opens the option dialog. Each setting has a slider; the
number beside it shows the value.</p>
<table border="1" cellpadding="3">
<tr><th>Setting</th><th>Range</th><th>Default</th><th>Meaning</th></tr>
<tr><td>Packet Size</td><td>32 to 1024 bytes</td><td>64</td><td>bytes of echo data in each request</td></tr>
<tr><td>Packet Time-To-Live</td><td>1 to 255</td><td>255</td><td>time-to-live of the requests</td></tr>
<tr><td>Ping Timeout</td><td>100 to 2000 ms</td><td>500</td><td>how long to wait for a reply before the request counts as lost</td></tr>
<tr><td>Delay Between PINGs</td><td>100 to 10000 ms</td><td>1500</td><td>time between two requests to the same host</td></tr>
<tr><td>Address transmitted</td><td>1 to 5 times per host</td><td>3</td><td>attempts to resolve a host name</td></tr>
<tr><td>Poll Interval</td><td>100 to 5000 ms</td><td>500</td><td>how often the statistics tree and the chart are refreshed</td></tr>
</table>
<p><b>OK</b> stores the values, saves them and applies them at once to every host of the
running run. <b>Cancel</b> closes without storing. <b>Load Default</b> puts the defaults
into the sliders and into the current settings; they are saved only when you press OK.
<b>Help</b> opens this page.</p>
<p>Type of service (default 200) and the IP flags (default 0) have no slider. Set them for one
run with the <a href="cmdline.html">command line</a> switches <code>-v</code> and
<code>-f</code>, or permanently in the settings file.</p>
<h2>Where the settings are kept</h2>
<p>The settings are kept per user in <code>~/.config/orvantek/user.reg</code> (or below
<code>$XDG_CONFIG_HOME</code>), a text file in the registry export format, under the key
<code>HKEY_CURRENT_USER\\Software\\Orvantek\\Orvantek Ping Tool</code>, sections
<code>Ping</code> (Size, TimeDelay, TimeOut, Probe), <code>Icmp</code> (IPFlags, IPTos,
IPTtl) and <code>GUI</code> (PollTime). Values in the file are used as they stand; the
ranges above are enforced by the sliders only. The value 2 of IPFlags sets the
don't-fragment bit. Values given on the command line are not saved unless you confirm the
option dialog afterwards.</p>
""")

PAGES["alerts"] = ("Alerts", """
<p>While a run goes on, the program follows the state of every host: <b>up</b>, <b>down</b>
or not known yet. A host is down after a number of failed requests in a row (lost,
unreachable or any other error; default 3) and up again after a number of replies in a row
(default 2). A host whose name cannot be resolved is down at once. This keeps a single lost
reply from raising an alarm, and a host that flaps between answering and not answering
is not told of on every request.</p>
<h2>How you are told</h2>
<ul>
<li>The <a href="stattree.html">statistics tree</a> draws a down host with a red icon; the
tooltip of its host line says since when it is down.</li>
<li>The tray icon is grey while no run goes on, green while every host is up and red while
any host is down. Its tooltip counts the hosts down ("2 of 40 hosts down"); its menu has
Show, Start/Stop Ping and Exit.</li>
<li>A desktop notification says "<i>host</i> (<i>address</i>) is down" or "is up again after
<i>duration</i>", with the last response time and the count of lost requests. Changes within
one second come as one notification ("3 hosts down: a, b, c"). Its action <b>Show</b> brings
the window to the front and selects the host in the statistics tree. Where the desktop runs
no notification service, the status bar says so once and the other alerts go on.</li>
<li>A sound (off by default): the desktop's own event sound for a lost and for a regained
connection, from its sound theme.</li>
</ul>
<h2>The Alerts dialog</h2>
<p><b>Options &gt; Alerts...</b> opens it.</p>
<table border="1" cellpadding="3">
<tr><th>Setting</th><th>Range</th><th>Default</th><th>Meaning</th></tr>
<tr><td>Down after</td><td>1 to 100</td><td>3</td><td>failed requests in a row that make a host down</td></tr>
<tr><td>Up again after</td><td>1 to 100</td><td>2</td><td>replies in a row that make it up again</td></tr>
<tr><td>Slow above</td><td>0 (off) to 60000 ms</td><td>off</td><td>a host whose last replies (as many as
"Up again after") all took longer counts as slow; it still counts as reachable</td></tr>
<tr><td>Show desktop notifications</td><td>on, off</td><td>on</td><td>notifications as above</td></tr>
<tr><td>Play the desktop's sound</td><td>on, off</td><td>off</td><td>the event sound as above</td></tr>
<tr><td>Keep running in the tray...</td><td>on, off</td><td>off</td><td>closing the window while a run
goes on hides it and leaves the program in the tray; Show in the tray menu brings it back,
Exit ends the program. Off, closing the window ends the program as always. It takes effect
only where the desktop shows tray icons.</td></tr>
</table>
<p><b>OK</b> saves the choices in the settings file, section
<code>Settings\\Alerts</code> (DownAfter, UpAfter, SlowMs, Notify, Sound, KeepInTray), and
applies them at once. <b>Cancel</b> keeps the earlier ones. <b>Help</b> (or F1) opens this page.</p>
""")

PAGES["cmdline"] = ("The command line", """
<pre>tapper [switches] [host ...]</pre>
<p>Plain arguments are host names or addresses; they are put into the host entry. The
switches change the settings for this run only; they are not saved. The number must be
glued to the letter: <code>-w2000</code> sets the timeout to 2000 ms, while
<code>-w 2000</code> sets it to 0 and adds a host called 2000. A switch may start with
<code>-</code> or <code>/</code>; only lower-case letters count, others are ignored. The
values are not checked against the ranges of the option dialog.</p>
<table border="1" cellpadding="3">
<tr><th>Switch</th><th>Effect</th></tr>
<tr><td><code>-a</code></td><td>start the run at once with the hosts of the command line</td></tr>
<tr><td><code>-d</code><i>N</i></td><td>delay between two requests to a host, in ms</td></tr>
<tr><td><code>-f</code></td><td>IP flags value 1 for this run (the don't-fragment bit is flag value 2, settable in the settings file only)</td></tr>
<tr><td><code>-i</code><i>N</i></td><td>time-to-live (0 to 255; higher numbers keep their low 8 bits)</td></tr>
<tr><td><code>-l</code><i>N</i></td><td>data size, in bytes</td></tr>
<tr><td><code>-p</code><i>N</i></td><td>name-resolution attempts</td></tr>
<tr><td><code>-t</code><i>N</i></td><td>poll interval of the views, in ms</td></tr>
<tr><td><code>-v</code><i>N</i></td><td>type of service (0 to 255)</td></tr>
<tr><td><code>-w</code><i>N</i></td><td>reply timeout, in ms</td></tr>
</table>
<p><code>--hosts-file=</code><i>path</i> adds the hosts of a host list file (see
<a href="mainwindow.html#files">host lists and results</a>; <code>-</code> reads standard
input) after those of the command line. <code>--export=</code><i>path</i> writes the
statistics and every event to <i>path</i> (JSON lines for a name ending in
<code>.json</code>, else CSV) whenever a run ends and when the window closes during a run,
for unattended runs with <code>-a</code>.</p>
<p>Example: <code>tapper -a -d500 -l1400 -w1000 192.0.2.1 198.51.100.7</code> starts at
once, pinging both hosts every half second with 1400 bytes of data.</p>
<h2>Installation switches</h2>
<p>The package scripts call the program with the registration switches: <code>/Register /lan
<i>code</i></code> writes the user's language (for example <code>de_de</code>),
<code>/regtool</code> adds the program as a tool of the companion network analyzer, and
<code>/autocheckupdate</code> switches the online features on. <code>/Unregister</code>
removes the program's settings, and <code>/unregtool</code> also the tool registration.
These calls never open a window.</p>
<p>The same switches work in the <a href="console.html">console mode</a>.</p>
""")

PAGES["console"] = ("The console mode", """
<pre>tapper --console [--count=N] [switches] host ...</pre>
<p>The console mode pings without a window, for servers, scripts and remote shells. It
prints one line per event as it happens, in the classic form of the
<a href="loglist.html">log list</a>, and at the end the eight
<a href="stattree.html">statistics</a> lines of every host. It ends with Ctrl+C, with
SIGTERM, or after <i>N</i> requests per host when <code>--count=N</code> is given.
<code>tapper --help</code> prints a short usage.</p>
<p>The <a href="cmdline.html">switches</a> are those of the window version; the settings
file supplies everything not given. Hosts are separated by blanks, commas or semicolons.
<code>--hosts-file=</code><i>path</i> adds the hosts of a host list file after them.</p>
<h2>Exit status</h2>
<table border="1" cellpadding="3">
<tr><td>0</td><td>every host replied at least once</td></tr>
<tr><td>1</td><td>some host got no reply</td></tr>
<tr><td>2</td><td>the run could not start: no host, invalid host text, or no ICMP service (see <a href="icmp.html">ICMP permissions</a>)</td></tr>
</table>
<h2>Examples</h2>
<pre>tapper --console --count=4 127.0.0.1
tapper --console --count=10 -d200 -w300 gw1.example.net gw2.example.net || echo "a gateway is silent"</pre>
""")

PAGES["icmp"] = ("ICMP permissions", """
<p>To send echo requests, the program first opens an <b>unprivileged ICMP datagram
socket</b>. Linux allows that to every process whose group lies in the range of the
kernel setting <code>net.ipv4.ping_group_range</code>. Only when that fails does it try a
raw ICMP socket, which needs root or the capability <code>CAP_NET_RAW</code>. If neither
works, the window version says "Can't Start NetWork. Application will exit." and the
console mode ends with status 2.</p>
<h2>Checking and setting the range</h2>
<pre>sysctl net.ipv4.ping_group_range</pre>
<p>The value <code>1 0</code> (an empty range, the kernel's default) allows nobody. To allow
every user:</p>
<pre>sudo sysctl -w net.ipv4.ping_group_range="0 2147483647"
echo 'net.ipv4.ping_group_range = 0 2147483647' | sudo tee /etc/sysctl.d/60-ping-group.conf</pre>
<p>The second line keeps the setting across restarts. To allow one group only, give its
group id twice, for example <code>"1001 1001"</code> (see <code>getent group
<i>name</i></code>). Each network namespace, and so each container, has its own value.</p>
<h2>Why no capability or set-uid bit is needed</h2>
<p>On a datagram ICMP socket the kernel writes the ICMP header, chooses the identifier,
computes the checksum and hands the program only the replies that belong to its own
socket. Time-to-live, type of service and the don't-fragment bit are ordinary socket
options. The program never needs to read or forge other traffic, so it needs no
privilege at all.</p>
<p>Giving the program <code>CAP_NET_RAW</code> or a set-uid root bit would instead let a
large graphical program, which parses names, network answers and files, read every ICMP
packet of the machine and send arbitrary ones; a fault in any library it loads would
then run with that privilege. Qt also refuses to start a set-uid program. Set the
ping group range instead; it grants exactly what a ping needs.</p>
""")

PAGES["troubleshooting"] = ("Troubleshooting", """
<h2>"Can't Start NetWork. Application will exit."</h2>
<p>No ICMP socket could be opened. Allow unprivileged ICMP as described in
<a href="icmp.html">ICMP permissions</a>. Inside a container the setting of the container's
network namespace counts.</p>
<h2>"Invalid host name or IP addresses."</h2>
<p>The host text contains a character that is not allowed (see
<a href="mainwindow.html">the main window</a>); a colon, as in an IPv6 address or a URL, is the
usual cause. Enter names or IPv4 addresses only.</p>
<h2>"Could not resolve Host name to an IP Address." (IP failed.)</h2>
<p>The name has no IPv4 address, or the name service did not answer. Check
<code>getent ahostsv4 <i>name</i></code>. The option "Address transmitted" sets how often the
program tries.</p>
<h2>"Request timed out." (TimeOut.)</h2>
<ul>
<li>The host or a firewall drops ICMP echo requests or replies.</li>
<li>The reply is slower than the Ping Timeout; raise it in <a href="options.html">Options</a>
(up to 2000 ms) or with <code>-w</code>.</li>
<li>Large packets with the don't-fragment bit exceed the path MTU; lower the packet size.</li>
<li>The time-to-live is too small for the path; an ICMP time-exceeded answer is then shown
as the status of the request instead.</li>
</ul>
<h2>The log list stays empty</h2>
<p>The log list shows the current host only. Select a host in the
<a href="stattree.html">statistics tree</a>.</p>
<h2>The program is in English although another language was chosen</h2>
<p>The language module <code>mui/<i>code</i>/OvPingRes.so</code> beside the program is missing,
is for another language or belongs to another version of the program; the program then
says so at start and goes on in English. Reinstall the package.</p>
<h2>Chinese text shows as boxes</h2>
<p>No CJK font is installed. Install one, for example the Debian package
<code>fonts-wqy-microhei</code>.</p>
<h2>The Online Resource pane is empty, or the update check fails</h2>
<p>The pane and the automatic check exist only when the online features were switched on at
installation. Without a connection to the web site the pane shows the copy installed
with the program. The update check gives up after 15 seconds and says why; it never
slows down the window.</p>
<h2>Back to the default settings</h2>
<p>Open <a href="options.html">Options</a>, press Load Default and then OK. Type of service and
flags keep their values; remove the <code>Icmp</code> section from
<code>~/.config/orvantek/user.reg</code> to reset them too.</p>
""")

WEBSITE = ("Orvantek Ping Tool – Online Resource", """
<p>This is the copy of the Online Resource page installed with the program. It is shown
when the maker's web site cannot be reached.</p>
<h2>Getting started</h2>
<ul>
<li>Type one or more host names or IPv4 addresses into the host entry, separated by blanks,
commas or semicolons, and press <b>Start Ping</b>.</li>
<li>Select a host in the statistics tree to follow its events in the log list.</li>
<li>Gaps in the chart are lost requests.</li>
<li>Press <b>F1</b> for the help book, including how to let users ping without root
(<code>net.ipv4.ping_group_range</code>).</li>
</ul>
<h2>More</h2>
<p>When you are online again, <b>Help &gt; Orvantek Home Page</b> and <b>Help &gt; Official
Orvantek Support Forum</b> open the maker's pages in your web browser, and <b>Help &gt; Check
for Latest Version...</b> looks for a newer version.</p>
""")
