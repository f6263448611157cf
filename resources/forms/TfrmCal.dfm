object frmCal: TfrmCal
  BorderIcons = []
  BorderStyle = bsNone
  ClientHeight = 190
  ClientWidth = 210
  KeyPreview = True
  ActiveControl = Calendar
  OnCreate = FormCreate
  OnKeyDown = FormKeyDown
  object Panel1: TPanel
    Height = 30
    Align = alTop
    object pbOk: TButton
      Left = 4
      Top = 3
      Width = 40
      Height = 24
      Caption = 'OK'
      Default = True
      ModalResult = 1
    end
    object pbCancel: TButton
      Left = 48
      Top = 3
      Width = 64
      Height = 24
      Caption = 'Cancel'
      Cancel = True
      ModalResult = 2
    end
    object SpinnerMonth: TFkSpinner
      Left = 120
      Top = 3
      Width = 40
      Height = 24
      Orientation = soHorizontal
      Hint = 'Change the month'
      ShowHint = True
    end
    object SpinnerYear: TFkSpinner
      Left = 166
      Top = 3
      Width = 40
      Height = 24
      Orientation = soHorizontal
      Hint = 'Change the year'
      ShowHint = True
    end
  end
  object Calendar: TFkCalendar
    Align = alClient
    Initialize = True
    OnDblClick = CalendarDblClick
  end
  object FkController1: TFkController
  end
end
