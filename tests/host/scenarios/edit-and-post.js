// A big picture dropped, cropped in the edit window, then posted.
var pw = waitWindow("相册上传", 10000);
dropOnPanel(pictures());
waitPostable();
clickOn(panel().tiles[0]);
waitFor(function () { return !panel().edit.disabled; }, 10000);
clickOn(panel().edit);

var editor = waitWindow("编辑图片", 10000);
waitIdle(10000);
function canvas() { return childrenOf(elements(editor), "ImageEditor")[0]; }
var c = canvas();
log("opened at " + c.pictureWidth + " x " + c.pictureHeight + " on " + c.viewWidth + " x " + c.viewHeight);
drag(c.x + 100, c.y + 100, c.x + 400, c.y + 300);
waitIdle(10000);
log("drawn " + canvas().tracker);
screenshot(shots() + "/edit-window.png", editor);
clickOn(find(editor, "裁剪图片"));
waitIdle(10000);
log("cropped to " + canvas().pictureWidth + " x " + canvas().pictureHeight);
screenshot(shots() + "/edit-window-cropped.png", editor);
clickOn(find(editor, "确定"));
waitClosed(editor);

waitPostable();
clickOn(panel().post);
waitStatus("所有图片已上传完毕");
waitFor(function () { return page("album.calls") === 1; }, 10000);
log("posted: " + page("album.answers.join(',')"));
