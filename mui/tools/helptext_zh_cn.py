# Chinese (simplified) texts of the help book and the offline page (see helpbook.py).
LANG = "zh-CN"
CONTENTS = "目录"
PREVIOUS = "上一页"
NEXT = "下一页"

PAGES = {}

PAGES["index"] = ("Orvantek Ping 工具帮助", """
<p>Orvantek Ping 工具（Tapper）可同时 Ping 一台或多台主机。程序为每台主机启动一个工作线程：解析主机名，
查询地址所属的国家或地区，然后按您设定的间隔、数据大小、生存时间（TTL）、服务类型（TOS）和超时时间，
逐个发送 ICMP 回显请求。每个回复、每个丢失的请求和每个错误都会连同时间一起记录；运行期间，
日志列表、统计树和响应时间图表会实时显示结果。运行会一直持续，直到您将其停止。</p>
<p>本手册面向网络管理员，介绍主窗口、各个视图、选项、命令行、用于脚本和服务器的控制台模式、
程序在 Linux 上所需的 ICMP 权限，以及出现问题时的处理方法。</p>
<p>在程序中任何位置按 <b>F1</b> 即可打开本手册。</p>
<h2>页面</h2>
""")

PAGES["mainwindow"] = ("主窗口", """
<p>主窗口包含三个视图：上方是<a href="chart.html">响应时间图表</a>，左下方是<a href="stattree.html">统计树</a>，
右下方是<a href="loglist.html">日志列表</a>。第一次开始运行之前，图表占满整个窗口；此后图表占窗口高度的
45%。视图之间的分隔线可以用鼠标拖动。</p>
<h2>主机输入框与开始/停止</h2>
<p>在工具栏的主机输入框中输入一个或多个目标：主机名或点分十进制 IPv4 地址，用空格、逗号或分号分隔，
例如 <code>192.0.2.1, gateway.example.net; 198.51.100.7</code>。然后按<b>开始 Ping</b>
（或按 <b>Ctrl+O</b>，或选择<b>文件 &gt; 开始 Ping</b>）。此后该按钮变为<b>停止 Ping</b>，用于停止运行；
主机及其数据会一直显示到下一次开始。运行期间主机输入框不可编辑。</p>
<p>文本两端的空格和字符 <code>; : . , ? ' " \\ ` ~</code> 会被去掉。如果剩余文本中仍含有
<code>` ~ ! @ # $ % ^ &amp; * ( ) = + | { } [ ] : " ' &lt; &gt; ?</code> 中的任一字符，程序会提示
“主机名或 IP 地址无效。”并且不会开始。文本中任何位置出现冒号都会使其无效，因此无法输入 IPv6 地址；
主机名只解析为 IPv4 地址。</p>
<p>主机输入框会记住最近 16 条启动过运行的文本；打开其下拉列表即可再次选择。重复使用的文本会移到最上面。</p>
<h2>菜单</h2>
<table border="1" cellpadding="3">
<tr><th>菜单</th><th>菜单项</th></tr>
<tr><td>文件</td><td>开始 Ping（开始/停止）、退出</td></tr>
<tr><td>编辑</td><td>复制（Ctrl+C、Ctrl+Insert）、全选（Ctrl+A）、自动滚动、经典视图、Harbor 视图；
作用于<a href="loglist.html">日志列表</a></td></tr>
<tr><td>图表</td><td>三维视图、图例、网格线、折线图、面积图、柱状图、保存图表；参见<a href="chart.html">图表</a></td></tr>
<tr><td>选项</td><td>选项...，参见<a href="options.html">选项</a></td></tr>
<tr><td>帮助</td><td>目录（F1）、检查最新版本...、Orvantek 官方支持论坛、Orvantek 主页、关于...</td></tr>
</table>
<h2>快捷键</h2>
<table border="1" cellpadding="3">
<tr><td>Ctrl+O</td><td>开始或停止运行</td></tr>
<tr><td>Ctrl+C、Ctrl+Insert</td><td>复制日志列表中选中的行</td></tr>
<tr><td>Ctrl+A</td><td>选中日志列表的所有行</td></tr>
<tr><td>F1</td><td>本帮助</td></tr>
<tr><td>F6、Shift+F6</td><td>切换到下一个或上一个视图</td></tr>
</table>
<h2>“在线资源”窗格与更新检查</h2>
<p>如果安装时启用了在线功能，窗口左侧会停靠一个<b>在线资源</b>窗格。它显示厂商网站上的一个页面；
无法联网时显示随程序安装的副本，若没有副本则保持空白。其中的链接会在您的网页浏览器中打开。
在这种情况下，程序还会在启动约一秒后检查一次是否有新版本，并且只在有新版本时才提示。
<b>帮助 &gt; 检查最新版本...</b>可随时检查，并总会报告结果。您选择跳过的版本不会再被自动检查提示。
更新检查只发送产品名称和版本号。</p>
<p>工具栏右端的徽标和<b>帮助 &gt; Orvantek 主页</b>会在网页浏览器中打开厂商主页；
<b>帮助 &gt; Orvantek 官方支持论坛</b>打开论坛。</p>
""")

PAGES["loglist"] = ("日志列表", """
<p>日志列表按时间先后显示<i>当前主机</i>（即在<a href="stattree.html">统计树</a>中选中的主机）记录的每个事件。
日志列表工具栏的末尾显示当前主机的名称。每台主机最多保留 5000 个事件，超出后最早的事件让位于最新的事件。</p>
<h2>两种显示方式</h2>
<p><b>经典视图</b>（编辑 &gt; 经典视图）以控制台 Ping 的形式每个事件显示一行，例如</p>
<pre>[2026-3-7 14:05:09] 来自 192.0.2.1 的回复：字节=64 时间=12ms TTL=57</pre>
<p>不足 1 毫秒的响应时间显示为 <code>时间&lt;1ms</code>。其他事件显示其状态文本，例如“请求超时。”或
“无法将主机名解析为 IP 地址。”。</p>
<p><b>Harbor 视图</b>（编辑 &gt; Harbor 视图，“显示列表视图”）以表格显示，列为时间戳、状态、字节、
响应时间（毫秒）和 TTL（回复的生存时间）。时间戳为本地时间，格式为 年-月-日 时:分:秒。</p>
<h2>复制</h2>
<p><b>复制</b>（Ctrl+C 或 Ctrl+Insert）以纯文本形式将选中的行放到剪贴板：经典视图复制各行文本，
Harbor 视图复制所有列。<b>全选</b>（Ctrl+A）选中所有行。右键菜单还可以只复制一列：复制时间戳、
复制状态、复制字节、复制响应时间、复制 TTL。</p>
<h2>自动滚动</h2>
<p>勾选<b>自动滚动</b>（默认）时，最新的一行始终可见。若要在运行继续时查看较早的行，请关闭此项。</p>
""")

PAGES["stattree"] = ("统计树", """
<p>统计树为本次运行的每台主机显示一个节点，顺序与您输入的顺序相同。每台主机下有八行：</p>
<ol>
<li>主机名解析得到的 IPv4 地址；</li>
<li>位置：地址所属的国家或地区，来自 GeoIP 国家数据库（未安装时为空）；</li>
<li>已发送数据包；</li>
<li>已接收数据包（已发送减去丢失）；</li>
<li>丢失数据包，以及按整数百分比计的丢包率；</li>
<li>最短响应时间、</li>
<li>最长响应时间和</li>
<li>平均响应时间，单位为毫秒；尚未收到回复时显示“无”。</li>
</ol>
<p>运行期间，这些行按轮询间隔（<a href="options.html">选项</a>，默认 500 毫秒）刷新。
平均值为总响应时间除以回复数并向下取整，始终介于最小值与最大值之间。</p>
<h2>当前主机</h2>
<p>选中某个主机节点或其下的任一行，该主机即成为当前主机，<a href="loglist.html">日志列表</a>随即显示它的事件。
运行开始时自动选中第一台主机。</p>
<h2>复制</h2>
<p>统计树的工具栏和右键菜单提供<b>复制主机</b>（主机名及其八行）和<b>全部复制</b>（所有主机及其各行），
均为纯文本。</p>
""")

PAGES["chart"] = ("响应时间图表", """
<p>图表为本次运行的每台主机显示一个数据系列。每个轮询间隔（<a href="options.html">选项</a>，默认 500 毫秒）
为每个系列添加一个点：该主机最新回复的响应时间（毫秒）；如果最新事件是丢失的请求或错误，则留出空隙。
横轴标注每次采样实际进行的时间，图表随运行向前滚动。一次运行超过 1024 台主机时，图表显示前 1024 台，
并在状态栏中说明。</p>
<h2>“图表”菜单</h2>
<table border="1" cellpadding="3">
<tr><td>三维视图</td><td>打开或关闭三维外观（默认打开）</td></tr>
<tr><td>图例</td><td>显示或隐藏带主机名的图例；放不下全部主机名时，图例显示放得下的部分，
并在最后一行说明显示的是总数中的哪些（例如“1–44 / 300”）：在图例上滚动鼠标滚轮可查看其余部分</td></tr>
<tr><td>网格线</td><td>显示或隐藏两个坐标轴的网格线</td></tr>
<tr><td>折线图、面积图、柱状图</td><td>图表类型；默认为折线图</td></tr>
<tr><td>保存图表</td><td>将图表保存为位图文件；开始过一次运行后可用</td></tr>
</table>
<p>图表的工具栏和右键菜单中也有这些命令。窗口较小时，图表会省略放不下的时间标签，必要时也省略坐标轴标题。</p>
<p>空隙是发现丢包最快的方式：空隙多的系列对应的主机正在丢弃请求，或回复慢于超时时间。</p>
""")

PAGES["options"] = ("选项", """
<p><b>选项 &gt; 选项...</b>打开选项对话框。每项设置都有一个滑块，旁边的数字显示当前值。</p>
<table border="1" cellpadding="3">
<tr><th>设置</th><th>范围</th><th>默认值</th><th>含义</th></tr>
<tr><td>数据包大小</td><td>32 至 1024 字节</td><td>64</td><td>每个请求中回显数据的字节数</td></tr>
<tr><td>数据包生存时间</td><td>1 至 255</td><td>255</td><td>请求的生存时间（TTL）</td></tr>
<tr><td>Ping 超时</td><td>100 至 2000 毫秒</td><td>500</td><td>等待回复的时间，超过后该请求计为丢失</td></tr>
<tr><td>Ping 间隔</td><td>100 至 10000 毫秒</td><td>1500</td><td>对同一主机两次请求之间的时间</td></tr>
<tr><td>地址解析次数</td><td>每台主机 1 至 5 次</td><td>3</td><td>解析主机名的尝试次数</td></tr>
<tr><td>轮询间隔</td><td>100 至 5000 毫秒</td><td>500</td><td>统计树和图表的刷新频率</td></tr>
</table>
<p><b>确定</b>接受并保存这些值，并立即应用到当前运行的每台主机。<b>取消</b>关闭对话框而不接受。
<b>载入默认值</b>将默认值放入滑块和当前设置；只有按“确定”后才会保存。<b>帮助</b>打开本页。</p>
<p>服务类型（TOS，默认 200）和 IP 标志（默认 0）没有滑块。可用<a href="cmdline.html">命令行</a>开关
<code>-v</code> 和 <code>-f</code> 为单次运行设置，或在设置文件中永久设置。</p>
<h2>设置的保存位置</h2>
<p>设置按用户保存在 <code>~/.config/orvantek/user.reg</code>（或 <code>$XDG_CONFIG_HOME</code> 下），
这是一个注册表导出格式的文本文件，键为 <code>HKEY_CURRENT_USER\\Software\\Orvantek\\Orvantek Ping Tool</code>，
分为 <code>Ping</code>（Size、TimeDelay、TimeOut、Probe）、<code>Icmp</code>（IPFlags、IPTos、IPTtl）
和 <code>GUI</code>（PollTime）三节。文件中的值按原样使用；上述范围只由滑块限制。IPFlags 的值 2
设置“禁止分片”位。命令行给出的值不会保存，除非之后在选项对话框中按“确定”。</p>
""")

PAGES["cmdline"] = ("命令行", """
<pre>tapper [开关] [主机 ...]</pre>
<p>普通参数是主机名或地址，会填入主机输入框。开关只改变本次运行的设置，不会保存。数字必须紧跟在字母后面：
<code>-w2000</code> 将超时设为 2000 毫秒，而 <code>-w 2000</code> 会将超时设为 0，并添加一台名为 2000 的主机。
开关以 <code>-</code> 或 <code>/</code> 开头；只识别小写字母，其他字母会被忽略。这些值不按选项对话框的范围检查。</p>
<table border="1" cellpadding="3">
<tr><th>开关</th><th>作用</th></tr>
<tr><td><code>-a</code></td><td>立即用命令行中的主机开始运行</td></tr>
<tr><td><code>-d</code><i>N</i></td><td>对同一主机两次请求之间的间隔，单位毫秒</td></tr>
<tr><td><code>-f</code></td><td>本次运行的 IP 标志值设为 1（“禁止分片”位是标志值 2，只能在设置文件中设置）</td></tr>
<tr><td><code>-i</code><i>N</i></td><td>生存时间（0 至 255；更大的数只保留低 8 位）</td></tr>
<tr><td><code>-l</code><i>N</i></td><td>数据大小，单位字节</td></tr>
<tr><td><code>-p</code><i>N</i></td><td>主机名解析尝试次数</td></tr>
<tr><td><code>-t</code><i>N</i></td><td>视图的轮询间隔，单位毫秒</td></tr>
<tr><td><code>-v</code><i>N</i></td><td>服务类型（TOS，0 至 255）</td></tr>
<tr><td><code>-w</code><i>N</i></td><td>回复超时，单位毫秒</td></tr>
</table>
<p>示例：<code>tapper -a -d500 -l1400 -w1000 192.0.2.1 198.51.100.7</code> 立即开始，每半秒向两台主机
发送带 1400 字节数据的请求。</p>
<h2>安装用开关</h2>
<p>软件包脚本使用注册开关调用程序：<code>/Register /lan <i>代码</i></code> 写入用户语言（例如
<code>zh_cn</code>），<code>/regtool</code> 将程序注册为配套网络分析器的工具，<code>/autocheckupdate</code>
启用在线功能。<code>/Unregister</code> 删除程序的设置，<code>/unregtool</code> 同时删除工具注册。
这些调用从不打开窗口。</p>
<p>这些开关同样适用于<a href="console.html">控制台模式</a>。</p>
""")

PAGES["console"] = ("控制台模式", """
<pre>tapper --console [--count=N] [开关] 主机 ...</pre>
<p>控制台模式不打开窗口，适用于服务器、脚本和远程 Shell。每发生一个事件就以<a href="loglist.html">日志列表</a>
的经典格式输出一行，结束时输出每台主机的八行<a href="stattree.html">统计</a>。按 Ctrl+C、收到 SIGTERM，
或在指定 <code>--count=N</code> 时每台主机发送 <i>N</i> 个请求后结束。<code>tapper --help</code>
显示简短用法。</p>
<p><a href="cmdline.html">开关</a>与窗口版相同；未指定的值取自设置文件。主机之间用空格、逗号或分号分隔。</p>
<h2>退出状态</h2>
<table border="1" cellpadding="3">
<tr><td>0</td><td>每台主机至少回复过一次</td></tr>
<tr><td>1</td><td>有主机始终没有回复</td></tr>
<tr><td>2</td><td>无法开始运行：没有主机、主机文本无效或没有 ICMP 服务（参见 <a href="icmp.html">ICMP 权限</a>）</td></tr>
</table>
<h2>示例</h2>
<pre>tapper --console --count=4 127.0.0.1
tapper --console --count=10 -d200 -w300 gw1.example.net gw2.example.net || echo "有网关没有响应"</pre>
""")

PAGES["icmp"] = ("ICMP 权限", """
<p>为发送回显请求，程序首先打开一个<b>非特权 ICMP 数据报套接字</b>。只要进程所属的组在内核设置
<code>net.ipv4.ping_group_range</code> 的范围内，Linux 就允许这样做。只有失败时，程序才尝试原始 ICMP
套接字，这需要 root 或 <code>CAP_NET_RAW</code> 能力。两者都不行时，窗口版提示“无法启动网络。应用程序将退出。”，
控制台模式以状态 2 结束。</p>
<h2>检查和设置范围</h2>
<pre>sysctl net.ipv4.ping_group_range</pre>
<p>值 <code>1 0</code>（空范围，内核的默认值）表示不允许任何人。允许所有用户的方法：</p>
<pre>sudo sysctl -w net.ipv4.ping_group_range="0 2147483647"
echo 'net.ipv4.ping_group_range = 0 2147483647' | sudo tee /etc/sysctl.d/60-ping-group.conf</pre>
<p>第二行使设置在重启后仍然有效。若只允许一个组，请将其组号写两次，例如 <code>"1001 1001"</code>
（参见 <code>getent group <i>组名</i></code>）。每个网络命名空间（因而每个容器）都有自己的值。</p>
<h2>为什么不需要能力或 set-uid 位</h2>
<p>使用 ICMP 数据报套接字时，由内核写入 ICMP 头、选择标识符、计算校验和，并且只把属于本套接字的回复交给程序。
生存时间、服务类型和“禁止分片”位都是普通的套接字选项。程序从不需要读取或伪造其他流量，因此不需要任何特权。</p>
<p>相反，如果给程序 <code>CAP_NET_RAW</code> 或 set-uid root 位，一个要解析主机名、网络应答和文件的大型图形程序
就能读取本机的所有 ICMP 数据包并发送任意数据包；它加载的任何库中的一个缺陷都会以该特权运行。
此外，Qt 会拒绝启动 set-uid 程序。请改为设置 ping 组范围，它恰好授予 Ping 所需的权限。</p>
""")

PAGES["troubleshooting"] = ("故障排除", """
<h2>“无法启动网络。应用程序将退出。”</h2>
<p>无法打开 ICMP 套接字。请按 <a href="icmp.html">ICMP 权限</a>中的说明允许非特权 ICMP。
在容器中，起作用的是容器所在网络命名空间的设置。</p>
<h2>“主机名或 IP 地址无效。”</h2>
<p>主机文本中含有不允许的字符（参见<a href="mainwindow.html">主窗口</a>）；常见原因是冒号，例如 IPv6 地址或网址中的冒号。
请只输入主机名或 IPv4 地址。</p>
<h2>“无法将主机名解析为 IP 地址。”（IP 失败。）</h2>
<p>该主机名没有 IPv4 地址，或名称服务没有响应。可用 <code>getent ahostsv4 <i>主机名</i></code> 检查。
选项“地址解析次数”决定程序尝试的次数。</p>
<h2>“请求超时。”（超时。）</h2>
<ul>
<li>主机或防火墙丢弃了 ICMP 回显请求或回复。</li>
<li>回复慢于 Ping 超时；请在<a href="options.html">选项</a>中调高（最多 2000 毫秒）或使用 <code>-w</code>。</li>
<li>带“禁止分片”位的大数据包超过了路径 MTU；请减小数据包大小。</li>
<li>生存时间对该路径来说太小；此时请求的状态会显示 ICMP“超时”应答。</li>
</ul>
<h2>日志列表一直为空</h2>
<p>日志列表只显示当前主机。请在<a href="stattree.html">统计树</a>中选择一台主机。</p>
<h2>选择了其他语言，程序却显示英文</h2>
<p>程序旁边的语言模块 <code>mui/<i>代码</i>/OvPingRes.so</code> 缺失、属于其他语言或属于其他版本的程序；
程序会在启动时提示，并以英文继续运行。请重新安装软件包。</p>
<h2>中文显示为方框</h2>
<p>系统未安装中日韩字体。请安装一种，例如 Debian 软件包 <code>fonts-wqy-microhei</code>。</p>
<h2>“在线资源”窗格为空，或更新检查失败</h2>
<p>只有安装时启用了在线功能，才会有该窗格和自动检查。无法连接网站时，窗格显示随程序安装的副本。
更新检查在 15 秒后放弃并说明原因；它从不拖慢窗口。</p>
<h2>恢复默认设置</h2>
<p>打开<a href="options.html">选项</a>，按“载入默认值”，然后按“确定”。服务类型和标志保持原值；
若要一并重置，请从 <code>~/.config/orvantek/user.reg</code> 中删除 <code>Icmp</code> 节。</p>
""")

WEBSITE = ("Orvantek Ping 工具 – 在线资源", """
<p>这是随程序安装的“在线资源”页面副本，在无法访问厂商网站时显示。</p>
<h2>入门</h2>
<ul>
<li>在主机输入框中输入一个或多个主机名或 IPv4 地址，用空格、逗号或分号分隔，然后按<b>开始 Ping</b>。</li>
<li>在统计树中选择一台主机，即可在日志列表中查看它的事件。</li>
<li>图表中的空隙就是丢失的请求。</li>
<li>按 <b>F1</b> 打开帮助手册，其中说明了如何让普通用户无需 root 即可 Ping（<code>net.ipv4.ping_group_range</code>）。</li>
</ul>
<h2>更多</h2>
<p>重新联网后，<b>帮助 &gt; Orvantek 主页</b>和<b>帮助 &gt; Orvantek 官方支持论坛</b>会在网页浏览器中打开厂商的页面，
<b>帮助 &gt; 检查最新版本...</b>会查找新版本。</p>
""")
