// The page window closed while a picture is on its way.
var pw = waitWindow("相册上传", 10000);
dropOnPanel(pictures());
waitPostable();
clickOn(panel().post);
waitStatus("正在上传第1/3张图片");
var frame = windows().filter(function (w) { return w.hwnd === pw; })[0];
click(frame.x + frame.width - 4, frame.y + frame.height - 4);
key("Alt+F4");
waitClosed(pw);
var threw = "";
try { page("1"); } catch (e) { threw = e.message; }
log("closed: " + control("up") + ", " + threw);
sleep(1500);  // the receiver would have answered by now
exit(7);
